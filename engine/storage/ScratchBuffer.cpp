#include "storage/ScratchBuffer.h"

#include "platform/os/PageBuffer.h"

namespace {

PageBuffer& Block() {
    // Never destroyed: tracks may outlive static destruction order at unload.
    static PageBuffer* block = new PageBuffer;
    return *block;
}

// The size last asked for, which equals Block().Size() unless the allocation failed.
size_t requestedBytes = 0;

}  // namespace

void ResizeScratchBuffer(size_t bytes) {
    if (bytes == requestedBytes && (bytes == 0 || Block().Data()))
        return;
    requestedBytes = bytes;
    if (!Block().Allocate(bytes))
        Block().Free();
}

uint8_t* ScratchBufferData() {
    return Block().Data();
}

size_t ScratchBufferSize() {
    return Block().Size();
}
