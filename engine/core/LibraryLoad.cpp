// Load-time set-up of the engine library: the engine-wide values and the one engine object
// exist before any caller can reach the library, and the object goes away when the library
// is unloaded.
#include <new>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"

PalkMixer* Mixer = nullptr;

namespace {

struct LibraryLifetime {
    LibraryLifetime() {
        CacheSize = static_cast<int32_t>(BufferSize * 100);
        Mixer = new (std::nothrow) PalkMixer(3);
    }
    ~LibraryLifetime() {
        delete Mixer;
        Mixer = nullptr;
    }
};

// The engine's shutdown at unload still reaches the platform layer, whose process-wide state
// is therefore never destroyed.
LibraryLifetime lifetime;

}  // namespace
