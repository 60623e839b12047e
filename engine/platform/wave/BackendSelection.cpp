#include "platform/wave/BackendSelection.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/wave/VirtualOutput.h"
#include "platform/wave/alsa/AlsaBackend.h"
#include "platform/wave/virtual/VirtualBackend.h"

namespace wave {

namespace {

constexpr unsigned DefaultVirtualCards = 2;
constexpr unsigned MaxVirtualCards = 64;

// No destructor runs for this state, so that devices the engine closes from its own exit-time
// (or unload-time) destructors still find a backend whatever order those run in.
struct BackendSlot {
    std::mutex lock;
    std::shared_ptr<WaveBackend>* current = nullptr;  // on the heap, see BackendRelease
};
constinit BackendSlot slot;

// Lets go of the current backend when the program ends or the library is unloaded; devices
// still open keep theirs until they are closed.
struct BackendRelease {
    ~BackendRelease() {
        std::lock_guard<std::mutex> guard(slot.lock);
        delete slot.current;
        slot.current = nullptr;
    }
} releaseAtExit;

unsigned VirtualCountFromEnvironment() {
    const char* text = std::getenv("ZEMBLA_VIRTUAL_CARDS");
    if (!text || !*text)
        return DefaultVirtualCards;
    char* end = nullptr;
    const unsigned long count = std::strtoul(text, &end, 10);
    if (*end != '\0' || count > MaxVirtualCards) {
        std::fprintf(stderr,
                     "ZEMBLA_VIRTUAL_CARDS=%s is not a number of cards up to %u; using %u\n", text,
                     MaxVirtualCards, DefaultVirtualCards);
        return DefaultVirtualCards;
    }
    return static_cast<unsigned>(count);
}

std::shared_ptr<WaveBackend> BackendFromEnvironment() {
    const char* mode = std::getenv("ZEMBLA_AUDIO");
    if (mode && strcasecmp(mode, "virtual") == 0)
        return std::make_shared<VirtualBackend>(VirtualCountFromEnvironment(), false);
    if (mode && strcasecmp(mode, "alsa") == 0)
        return std::make_shared<AlsaBackend>(false);
    if (mode && *mode)
        std::fprintf(stderr, "ZEMBLA_AUDIO=%s is neither \"alsa\" nor \"virtual\"; ignored\n",
                     mode);
    auto alsa = std::make_shared<AlsaBackend>(false);
    if (alsa->DeviceCount(Direction::Playback) > 0)
        return alsa;
    return std::make_shared<VirtualBackend>(VirtualCountFromEnvironment(), false);
}

void Install(std::shared_ptr<WaveBackend> backend) {
    std::lock_guard<std::mutex> guard(slot.lock);
    if (slot.current)
        *slot.current = std::move(backend);
    else
        slot.current = new std::shared_ptr<WaveBackend>(std::move(backend));
}

}  // namespace

std::shared_ptr<WaveBackend> CurrentBackend() {
    std::lock_guard<std::mutex> guard(slot.lock);
    if (!slot.current)
        slot.current = new std::shared_ptr<WaveBackend>(BackendFromEnvironment());
    return *slot.current;
}

void UseVirtualCards(unsigned count) {
    Install(std::make_shared<VirtualBackend>(count, true));
}

void UseVirtualOutputFile(int fd, uint64_t limitBytes) {
    Install(std::make_shared<VirtualBackend>(std::make_shared<VirtualFileOutput>(fd, limitBytes)));
}

void UseAlsa() {
    Install(std::make_shared<AlsaBackend>(true));
}

void SelectBackendFromEnvironment() {
    Install(BackendFromEnvironment());
}

const char* BackendName() {
    return CurrentBackend()->Name();
}

}  // namespace wave
