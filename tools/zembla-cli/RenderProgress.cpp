#include "RenderProgress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

constexpr int BarWidth = 20;

}  // namespace

RenderProgress::RenderProgress(uint64_t totalFrames, uint32_t rate)
    : total_(totalFrames),
      rate_(rate),
      terminal_(::isatty(STDOUT_FILENO) == 1),
      start_(std::chrono::steady_clock::now()) {}

double RenderProgress::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

double RenderProgress::Speed(uint64_t frames) const {
    const double seconds = Seconds();
    return seconds > 0 ? static_cast<double>(frames) / rate_ / seconds : 0.0;
}

void RenderProgress::Show(uint64_t frames) {
    if (total_ == 0)
        return;
    const int percent = static_cast<int>(frames * 100 / total_);
    if (terminal_) {
        // Redrawn when the percentage moves, and a few times a second for the speed.
        const auto now = std::chrono::steady_clock::now();
        if (percent == shown_ && now - drawn_ < std::chrono::milliseconds(250))
            return;
        shown_ = percent;
        drawn_ = now;
        const int marks = percent * BarWidth / 100;
        std::printf("\r[%s%s] %3d %%  %.1fx", std::string(marks, '#').c_str(),
                    std::string(BarWidth - marks, ' ').c_str(), percent, Speed(frames));
    } else {
        const int tenths = percent / 10;
        if (tenths == shown_ || tenths == 0)
            return;
        shown_ = tenths;
        std::printf("render: %3d %%  %.1fx\n", tenths * 10, Speed(frames));
    }
    std::fflush(stdout);
}

void RenderProgress::Finish() {
    if (terminal_ && shown_ >= 0) {
        std::printf("\n");
        std::fflush(stdout);
    }
}
