// The engine-wide values of EngineStatics.h. Each is constant-initialised, so it holds its
// load-time value before any code of the library runs (the library's load-time set-up reads
// BufferSize).
#include "core/EngineStatics.h"

uint32_t BufferSize = DefaultBufferSize;
uint32_t SampleRate = DefaultSampleRate;
int32_t CacheSize = 0;
std::atomic<int32_t> MixPos{0};
std::atomic<int32_t> PlayPos{0};
std::atomic<bool> FirstBuffer{true};
