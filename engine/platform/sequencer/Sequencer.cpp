#include "platform/sequencer/Sequencer.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "platform/sequencer/FluidSynthBackend.h"

namespace sequencer {

namespace {

// No destructor runs for this state, whatever order the exit-time destructors run in; the
// backend itself goes at exit (a follower still holding one of its devices keeps it alive).
struct BackendSlot {
    std::mutex lock;
    std::shared_ptr<SequencerBackend>* current = nullptr;  // on the heap, see BackendRelease
};
constinit BackendSlot slot;

struct BackendRelease {
    ~BackendRelease() {
        std::lock_guard<std::mutex> guard(slot.lock);
        delete slot.current;
        slot.current = nullptr;
    }
} releaseAtExit;

std::atomic<uint32_t> lastDeviceId{0};

thread_local std::string errorDetail;

}  // namespace

const char* ErrorText(Result result) {
    switch (result) {
        case NoError:
            return "no error";
        case InvalidDeviceId:
            return "no such sequencer device";
        case Hardware:
            return "the synthesizer's sound output could not be started";
        case OutOfMemory:
            return "out of memory";
        case FileNotFound:
            return "the file cannot be read";
        case InvalidFile:
            return "not a standard MIDI file that can be played";
    }
    return "unknown sequencer error";
}

uint32_t NewDeviceId() {
    uint32_t id = ++lastDeviceId;
    if (id == 0)
        id = ++lastDeviceId;
    return id;
}

void SetErrorDetail(std::string detail) {
    errorDetail = std::move(detail);
}

std::string TakeErrorDetail() {
    return std::exchange(errorDetail, std::string());
}

std::shared_ptr<SequencerBackend> CurrentBackend() {
    std::lock_guard<std::mutex> guard(slot.lock);
    if (!slot.current)
        slot.current = new std::shared_ptr<SequencerBackend>(std::make_shared<FluidSynthBackend>());
    return *slot.current;
}

void UseBackend(std::shared_ptr<SequencerBackend> backend) {
    std::lock_guard<std::mutex> guard(slot.lock);
    if (slot.current)
        *slot.current = std::move(backend);
    else
        slot.current = new std::shared_ptr<SequencerBackend>(std::move(backend));
}

void UseDefaultBackend() {
    UseBackend(std::make_shared<FluidSynthBackend>());
}

}  // namespace sequencer
