#include "FormatNames.h"

#include <cstdio>

std::vector<std::string> FormatNames(uint32_t flags) {
    static const char* const rates[] = {"11025", "22050", "44100", "48000", "96000"};
    static const char* const kinds[] = {"mono 8-bit", "stereo 8-bit", "mono 16-bit",
                                        "stereo 16-bit"};
    std::vector<std::string> names;
    for (int rate = 0; rate < 5; ++rate) {
        for (int kind = 0; kind < 4; ++kind) {
            if (flags & (1u << (rate * 4 + kind)))
                names.push_back(std::string(rates[rate]) + " Hz " + kinds[kind]);
        }
    }
    return names;
}

std::string FormatLength(int64_t frames, long rate) {
    const int64_t ms = rate > 0 ? frames * 1000 / rate : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return text;
}
