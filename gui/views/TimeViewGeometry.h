#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// The arithmetic of the time ruler beside the strips: a label every fifth of the window, at
// the multiples of that step, in minutes, seconds and milliseconds.
namespace TimeViewGeometry {

inline constexpr int Divisions = 5;

// (end - start) / Divisions, but at least 1 ms: a window shorter than Divisions ms would
// otherwise step by 0 and never finish labelling.
int LabelStep(int start, int end);
// The first multiple of step after start (start itself excluded), or 0 when that lies before
// the track's start. step > 0.
int64_t FirstLabelTime(int start, int step);
// "%d:%02d:%03d" of minutes, seconds and milliseconds.
QString LabelText(int64_t ms);

struct Label {
    int y;  // the row of the label's top
    int64_t ms;
};
// The labels of [start, end) on a ruler height rows tall, from FirstLabelTime on, step apart;
// none for an empty or reversed window.
std::vector<Label> Labels(int start, int end, int step, int height);

}  // namespace TimeViewGeometry
