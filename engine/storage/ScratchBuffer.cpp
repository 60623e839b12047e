#include "storage/ScratchBuffer.h"

#include "platform/os/PageBuffer.h"

namespace {

// Made by the first track and never destroyed: tracks may outlive static destruction order at
// unload. Until then there is none (asking for it allocates nothing).
constinit PageBuffer* block = nullptr;

// The size last asked for, which equals block->Size() unless the allocation failed.
constinit size_t requestedBytes = 0;

}  // namespace

void ResizeScratchBuffer(size_t bytes) {
    if (!block) {
        if (bytes == 0)
            return;
        block = new PageBuffer;
    }
    if (bytes == requestedBytes && (bytes == 0 || block->Data()))
        return;
    requestedBytes = bytes;
    if (!block->Allocate(bytes))
        block->Free();
}

uint8_t* ScratchBufferData() {
    return block ? block->Data() : nullptr;
}

size_t ScratchBufferSize() {
    return block ? block->Size() : 0;
}
