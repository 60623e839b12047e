#include "views/TimeViewGeometry.h"

#include <algorithm>
#include <climits>

namespace TimeViewGeometry {

int LabelStep(int start, int end) {
    const int64_t step = (int64_t{end} - start) / Divisions;
    return static_cast<int>(std::clamp<int64_t>(step, 1, INT_MAX));
}

int64_t FirstLabelTime(int start, int step) {
    // The remainder rounded towards minus infinity: for a start just before 0 the first
    // multiple after it is 0, not one step later.
    int64_t remainder = start % step;
    if (remainder < 0)
        remainder += step;
    return std::max<int64_t>(0, int64_t{start} + step - remainder);
}

QString LabelText(int64_t ms) {
    return QString::asprintf("%d:%02d:%03d", static_cast<int>(ms / 60000),
                             static_cast<int>(ms % 60000 / 1000), static_cast<int>(ms % 1000));
}

std::vector<Label> Labels(int start, int end, int step, int height) {
    std::vector<Label> labels;
    const int64_t span = int64_t{end} - start;
    if (span <= 0 || step <= 0)
        return labels;
    // Each label at the row of its own time (multiplied before dividing), so that the ruler
    // lines up with the file views' rows and does not drift down the window.
    for (int64_t a = FirstLabelTime(start, step); a < end; a += step)
        labels.push_back({static_cast<int>(double(height) * double(a - start) / double(span)), a});
    return labels;
}

}  // namespace TimeViewGeometry
