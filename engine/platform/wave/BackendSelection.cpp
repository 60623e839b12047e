#include "platform/wave/BackendSelection.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>

#include "platform/os/BackendSlot.h"
#include "platform/wave/VirtualOutput.h"
#include "platform/wave/alsa/AlsaBackend.h"
#include "platform/wave/virtual/VirtualBackend.h"

namespace wave {

namespace {

constexpr unsigned DefaultVirtualCards = 2;
constexpr unsigned MaxVirtualCards = 64;

constinit BackendSlot<WaveBackend> slot;
BackendSlotRelease<WaveBackend> releaseAtExit{slot};

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
    slot.Replace(std::move(backend));
}

}  // namespace

std::shared_ptr<WaveBackend> CurrentBackend() {
    return slot.GetOrMake(BackendFromEnvironment);
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
