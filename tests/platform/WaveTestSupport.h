#pragma once

// Helpers for the wave layer's tests: buffers with their headers, a recorder of what comes
// back through a device's callback, and a fixture that releases whatever a test left open.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/wave/WaveApi.h"
#include "platform/wave/WaveBackend.h"
#include "platform/wave/WaveFormat.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "support/NumberedFrames.h"

inline WaveFormat PcmFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    return {WaveFormatPcm, channels, rate, rate * align, align, bits};
}

// Deterministic, non-repeating bytes (so misplaced or repeated blocks show up).
inline std::string PatternBytes(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

// Byte strings compared by size and first differing offset (instead of printing both).
inline ::testing::AssertionResult SameBytes(const std::string& actual,
                                            const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    const auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure()
           << actual.size() << " bytes instead of " << expected.size() << ", first difference at "
           << (diff.first - actual.begin());
}

// One buffer and its header, the header pointing at the buffer.
struct TestBuffer {
    explicit TestBuffer(size_t bytes) : data(bytes, '\0') {
        header.Data = data.data();
        header.BufferLength = static_cast<uint32_t>(bytes);
    }
    std::vector<char> data;
    wave::WaveHeader header;
};
using Buffers = std::vector<std::unique_ptr<TestBuffer>>;

// Buffer i holds PatternBytes(bytes, i + 1).
inline Buffers MakeBuffers(size_t count, size_t bytes) {
    Buffers buffers;
    for (uint32_t i = 0; i < count; ++i) {
        buffers.push_back(std::make_unique<TestBuffer>(bytes));
        std::ranges::copy(PatternBytes(bytes, i + 1), buffers.back()->data.begin());
    }
    return buffers;
}

// All their bytes, or the first BytesRecorded of each.
inline std::string Joined(const Buffers& buffers, bool recordedOnly = false) {
    std::string bytes;
    for (const auto& buffer : buffers)
        bytes.append(buffer->data.data(),
                     recordedOnly ? buffer->header.BytesRecorded : buffer->data.size());
    return bytes;
}
inline std::string Recorded(const Buffers& buffers) {
    return Joined(buffers, true);
}

// Prepares and writes (adds) one buffer, or each of them.
inline void QueueOne(wave::WaveOut* device, TestBuffer& buffer) {
    EXPECT_EQ(wave::WaveOutPrepareHeader(device, &buffer.header), wave::NoError);
    EXPECT_EQ(wave::WaveOutWrite(device, &buffer.header), wave::NoError);
}
inline void QueueOne(wave::WaveIn* device, TestBuffer& buffer) {
    EXPECT_EQ(wave::WaveInPrepareHeader(device, &buffer.header), wave::NoError);
    EXPECT_EQ(wave::WaveInAddBuffer(device, &buffer.header), wave::NoError);
}
template <class Device>
void QueueAll(Device* device, const Buffers& buffers) {
    for (const auto& buffer : buffers)
        QueueOne(device, *buffer);
}

// A header that came back through a callback, as the callback saw it.
struct Returned {
    wave::WaveHeader* header;
    uint32_t message;
    uint32_t flags;
    std::thread::id thread;
};

class ReturnedBuffers {
  public:
    // The device callback of either direction; self is the ReturnedBuffers.
    template <class Device>
    static void Callback(Device*, uint32_t message, void* self, wave::WaveHeader* header) {
        static_cast<ReturnedBuffers*>(self)->Note(message, header);
    }
    // Runs inside the callback before the return is counted (e.g. to unprepare the header).
    void OnReturn(std::function<void(wave::WaveHeader*)> action) {
        std::lock_guard<std::mutex> guard(lock_);
        action_ = std::move(action);
    }
    // Whether that many came back within 20 s.
    bool WaitFor(size_t count) {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return returned_.size() >= count; });
    }
    size_t Count() { return All().size(); }
    std::vector<Returned> All() {
        std::lock_guard<std::mutex> guard(lock_);
        return returned_;
    }
    // When the last header came back.
    std::chrono::steady_clock::time_point LastReturnTime() {
        std::lock_guard<std::mutex> guard(lock_);
        return last_;
    }

  private:
    void Note(uint32_t message, wave::WaveHeader* header) {
        // Flags as they are now, before the action may change them; and the return counts
        // only once the action is done, so that whoever waited for it may reuse the header.
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

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Returned> returned_;
    std::chrono::steady_clock::time_point last_;
    std::function<void(wave::WaveHeader*)> action_;
};

// A test on two fresh virtual cards (unless it chooses otherwise) and one device of each
// direction at most; at the end they are reset, their buffers unprepared and they are closed.
class WaveDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override { wave::UseVirtualCards(2); }
    void TearDown() override {
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
    wave::Result OpenOut(uint32_t card, const WaveFormat& format) {
        return wave::WaveOutOpen(&out, card, format, &ReturnedBuffers::Callback<wave::WaveOut>,
                                 &returned);
    }
    wave::Result OpenIn(uint32_t card, const WaveFormat& format) {
        return wave::WaveInOpen(&in, card, format, &ReturnedBuffers::Callback<wave::WaveIn>,
                                &returned);
    }

    wave::WaveOut* out = nullptr;
    wave::WaveIn* in = nullptr;
    ReturnedBuffers returned;
    Buffers buffers;
};
