#pragma once

#include <cstdint>
#include <string>
#include <vector>

// "44100 Hz stereo 16-bit" and so on, one text per format flag set in flags.
std::vector<std::string> FormatNames(uint32_t flags);
