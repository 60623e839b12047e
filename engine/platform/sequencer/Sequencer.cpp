#include "platform/sequencer/Sequencer.h"

#include <atomic>
#include <utility>

#include "platform/os/BackendSlot.h"
#include "platform/sequencer/FluidSynthBackend.h"

namespace sequencer {

namespace {

constinit BackendSlot<SequencerBackend> slot;
BackendSlotRelease<SequencerBackend> releaseAtExit{slot};

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
    return slot.GetOrMake([] { return std::make_shared<FluidSynthBackend>(); });
}

void UseBackend(std::shared_ptr<SequencerBackend> backend) {
    slot.Replace(std::move(backend));
}

void UseDefaultBackend() {
    UseBackend(std::make_shared<FluidSynthBackend>());
}

}  // namespace sequencer
