#include "WaveTestSupport.h"

#include "platform/wave/virtual/VirtualCards.h"

#include <algorithm>
#include <random>

using namespace std::chrono_literals;

WaveFormat PcmFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    return {WaveFormatPcm, channels, rate, rate * align, align, bits};
}

std::string PatternBytes(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    const auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure()
           << actual.size() << " bytes instead of " << expected.size() << ", first difference at "
           << (diff.first - actual.begin());
}

TestBuffer::TestBuffer(size_t bytes) : data(bytes, '\0') {
    header.Data = data.data();
    header.BufferLength = static_cast<uint32_t>(bytes);
}

Buffers MakeBuffers(size_t count, size_t bytes) {
    Buffers buffers;
    for (uint32_t i = 0; i < count; ++i) {
        buffers.push_back(std::make_unique<TestBuffer>(bytes));
        std::ranges::copy(PatternBytes(bytes, i + 1), buffers.back()->data.begin());
    }
    return buffers;
}

std::string Joined(const Buffers& buffers) {
    std::string bytes;
    for (const auto& buffer : buffers)
        bytes.append(buffer->data.data(), buffer->data.size());
    return bytes;
}

std::string Recorded(const Buffers& buffers) {
    std::string bytes;
    for (const auto& buffer : buffers)
        bytes.append(buffer->data.data(), buffer->header.BytesRecorded);
    return bytes;
}

void QueueOne(wave::WaveOut* device, TestBuffer& buffer) {
    EXPECT_EQ(wave::WaveOutPrepareHeader(device, &buffer.header), wave::NoError);
    EXPECT_EQ(wave::WaveOutWrite(device, &buffer.header), wave::NoError);
}

void QueueOne(wave::WaveIn* device, TestBuffer& buffer) {
    EXPECT_EQ(wave::WaveInPrepareHeader(device, &buffer.header), wave::NoError);
    EXPECT_EQ(wave::WaveInAddBuffer(device, &buffer.header), wave::NoError);
}

void ReturnedBuffers::OnReturn(std::function<void(wave::WaveHeader*)> action) {
    std::lock_guard<std::mutex> guard(lock_);
    action_ = std::move(action);
}

void ReturnedBuffers::Note(uint32_t message, wave::WaveHeader* header) {
    // Flags as they are now, before the action may change them; and the return counts only
    // once the action is done, so that whoever waited for it may reuse the header.
    Returned seen{header, message, header->Flags, std::this_thread::get_id()};
    std::function<void(wave::WaveHeader*)> action;
    {
        std::lock_guard<std::mutex> guard(lock_);
        action = action_;
    }
    if (action)
        action(header);
    std::lock_guard<std::mutex> guard(lock_);
    returned_.push_back(seen);
    last_ = std::chrono::steady_clock::now();
    changed_.notify_all();
}

bool ReturnedBuffers::WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, 20s, [&] { return returned_.size() >= count; });
}

size_t ReturnedBuffers::Count() {
    std::lock_guard<std::mutex> guard(lock_);
    return returned_.size();
}

std::chrono::steady_clock::time_point ReturnedBuffers::LastReturnTime() {
    std::lock_guard<std::mutex> guard(lock_);
    return last_;
}

std::vector<Returned> ReturnedBuffers::All() {
    std::lock_guard<std::mutex> guard(lock_);
    return returned_;
}

void WaveDeviceTest::SetUp() {
    wave::UseVirtualCards(2);
}

void WaveDeviceTest::TearDown() {
    returned.OnReturn(nullptr);
    if (out) {
        wave::WaveOutReset(out);
        for (auto& buffer : buffers)
            wave::WaveOutUnprepareHeader(out, &buffer->header);
        EXPECT_EQ(wave::WaveOutClose(out), wave::NoError);
    }
    if (in) {
        wave::WaveInReset(in);
        for (auto& buffer : buffers)
            wave::WaveInUnprepareHeader(in, &buffer->header);
        EXPECT_EQ(wave::WaveInClose(in), wave::NoError);
    }
}

wave::Result WaveDeviceTest::OpenOut(uint32_t card, const WaveFormat& format) {
    return wave::WaveOutOpen(&out, card, format, &ReturnedBuffers::Callback<wave::WaveOut>,
                             &returned);
}

wave::Result WaveDeviceTest::OpenIn(uint32_t card, const WaveFormat& format) {
    return wave::WaveInOpen(&in, card, format, &ReturnedBuffers::Callback<wave::WaveIn>, &returned);
}
