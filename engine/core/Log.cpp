#include "core/Log.h"

#include <fcntl.h>
#include <unistd.h>

#include <mutex>
#include <type_traits>

#include "platform/os/Files.h"

namespace {

// The log is opened once per run and never closed: errors are logged from any thread and up
// to the very end of the process (engine shutdown at library unload included), so its state
// is a static whose destruction does nothing.
struct LogState {
    std::mutex Lock;
    bool Opened = false;
    int Fd = -1;  // stays -1 when the file could not be created: later lines are dropped
};
static_assert(std::is_trivially_destructible_v<LogState>);

constinit LogState theLog;

LogState& State() {
    return theLog;
}

}  // namespace

void WriteLog(const char* text) {
    LogState& state = State();
    std::lock_guard<std::mutex> guard(state.Lock);
    if (!state.Opened) {
        state.Opened = true;
        state.Fd = ::open("logfile.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (state.Fd >= 0)
            posix_fadvise(state.Fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    if (state.Fd < 0)
        return;
    std::string line(text ? text : "");
    line.push_back('\n');
    WriteAll(state.Fd, line.data(), line.size());  // write errors on the log are ignored
}

void WriteLog(const std::string& text) {
    WriteLog(text.c_str());
}

void ResetLogForNextRun() {
    LogState& state = State();
    std::lock_guard<std::mutex> guard(state.Lock);
    if (state.Fd >= 0)
        ::close(state.Fd);
    state.Fd = -1;
    state.Opened = false;
}
