#include "WaveTestSupport.h"

#include <algorithm>
#include <cstring>

WaveFormat PcmFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
    WaveFormat format;
    format.FormatTag = WaveFormatPcm;
    format.Channels = channels;
    format.SamplesPerSec = rate;
    format.BitsPerSample = bits;
    format.BlockAlign = static_cast<uint16_t>(channels * bits / 8);
    format.AvgBytesPerSec = rate * format.BlockAlign;
    return format;
}

std::string PatternBytes(size_t count, uint32_t seed) {
    std::string bytes(count, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state);
    }
    return bytes;
}

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    const auto mismatch =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure()
           << actual.size() << " bytes instead of " << expected.size()
           << ", first difference at offset " << (mismatch.first - actual.begin());
}

TestBuffer::TestBuffer(size_t bytes) : data(bytes, '\0') {
    header.Data = data.data();
    header.BufferLength = static_cast<uint32_t>(bytes);
    header.User = this;
}

void TestBuffer::Fill(const std::string& bytes) {
    std::memcpy(data.data(), bytes.data(), std::min(bytes.size(), data.size()));
}

std::string TestBuffer::Recorded() const {
    return std::string(data.data(), header.BytesRecorded);
}

std::vector<std::unique_ptr<TestBuffer>> MakeBuffers(size_t count, size_t bytes) {
    std::vector<std::unique_ptr<TestBuffer>> buffers;
    for (size_t i = 0; i < count; ++i)
        buffers.push_back(std::make_unique<TestBuffer>(bytes));
    return buffers;
}

void ReturnedBuffers::OutCallback(wave::WaveOut*, uint32_t message, void* instance,
                                  wave::WaveHeader* header) {
    static_cast<ReturnedBuffers*>(instance)->Note(message, header);
}

void ReturnedBuffers::InCallback(wave::WaveIn*, uint32_t message, void* instance,
                                 wave::WaveHeader* header) {
    static_cast<ReturnedBuffers*>(instance)->Note(message, header);
}

void ReturnedBuffers::OnReturn(std::function<void(wave::WaveHeader*)> action) {
    std::lock_guard<std::mutex> guard(lock_);
    action_ = std::move(action);
}

void ReturnedBuffers::Note(uint32_t message, wave::WaveHeader* header) {
    // What the header says now, before the action may queue it again.
    const uint32_t flags = header->Flags;
    const std::string data =
        message == wave::InData ? std::string(header->Data, header->BytesRecorded) : "";
    std::function<void(wave::WaveHeader*)> action;
    {
        std::lock_guard<std::mutex> guard(lock_);
        action = action_;
    }
    // The return counts only once the action is done, so that a test that waited for it
    // may let go of what the action uses.
    if (action)
        action(header);
    {
        std::lock_guard<std::mutex> guard(lock_);
        headers_.push_back(header);
        messages_.push_back(message);
        threads_.push_back(std::this_thread::get_id());
        flags_.push_back(flags);
        captured_ += data;
    }
    changed_.notify_all();
}

bool ReturnedBuffers::WaitFor(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, timeout, [&] { return headers_.size() >= count; });
}

size_t ReturnedBuffers::Count() {
    std::lock_guard<std::mutex> guard(lock_);
    return headers_.size();
}

std::vector<wave::WaveHeader*> ReturnedBuffers::Headers() {
    std::lock_guard<std::mutex> guard(lock_);
    return headers_;
}

std::vector<uint32_t> ReturnedBuffers::Messages() {
    std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

std::vector<std::thread::id> ReturnedBuffers::Threads() {
    std::lock_guard<std::mutex> guard(lock_);
    return threads_;
}

std::vector<uint32_t> ReturnedBuffers::FlagsSeen() {
    std::lock_guard<std::mutex> guard(lock_);
    return flags_;
}

std::string ReturnedBuffers::CapturedBytes() {
    std::lock_guard<std::mutex> guard(lock_);
    return captured_;
}
