#include "tracks/Channel.h"

#include <cstdlib>
#include <cstring>

#include "core/EngineStatics.h"
#include "core/OrvellError.h"

char Channel::Antal = 0;
short* Channel::Data = nullptr;
unsigned int Channel::FadeResolution_ms = 50;
size_t Channel::dataBytes_ = 0;

Channel::Channel() {
    if (!Data && !GrowData(static_cast<size_t>(BufferSize) * 4))
        throw DisplayedError("Out of memory");
    ++Antal;
}

Channel::~Channel() {
    if (--Antal == 0) {
        std::free(Data);
        Data = nullptr;
        dataBytes_ = 0;
    }
}

bool Channel::GrowData(size_t bytes) {
    if (Data && bytes <= dataBytes_)
        return true;
    void* block = std::calloc(bytes, 1);
    if (!block)
        return false;
    if (Data)
        std::memcpy(block, Data, dataBytes_);
    std::free(Data);
    Data = static_cast<short*>(block);
    dataBytes_ = bytes;
    return true;
}
