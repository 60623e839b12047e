#pragma once

#include <cstdint>
#include <string>
#include <vector>

// "44100 Hz stereo 16-bit" and so on, one text per format flag set in flags.
std::vector<std::string> FormatNames(uint32_t flags);

// A length of frames at rate frames a second as "m:ss.mmm" (minutes as many as it takes),
// truncated to the millisecond.
std::string FormatLength(int64_t frames, long rate);
