#pragma once

// Helpers for the wave layer's tests: buffers with their headers, a recorder of what comes
// back through a device's callback, and a fixture that releases whatever a test left open.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/wave/WaveApi.h"
#include "platform/wave/WaveBackend.h"
#include "platform/wave/WaveFormat.h"
#include "support/NumberedFrames.h"

WaveFormat PcmFormat(uint32_t rate, uint16_t channels, uint16_t bits);
// Deterministic, non-repeating bytes (so misplaced or repeated blocks show up).
std::string PatternBytes(size_t count, uint32_t seed);
// Byte strings compared by size and first differing offset (instead of printing both).
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);

// One buffer and its header, the header pointing at the buffer.
struct TestBuffer {
    explicit TestBuffer(size_t bytes);
    std::vector<char> data;
    wave::WaveHeader header;
};
using Buffers = std::vector<std::unique_ptr<TestBuffer>>;
// Buffer i holds PatternBytes(bytes, i + 1).
Buffers MakeBuffers(size_t count, size_t bytes);
std::string Joined(const Buffers& buffers);    // all their bytes
std::string Recorded(const Buffers& buffers);  // the first BytesRecorded of each
// Prepares and writes (adds) one buffer, or each of them.
void QueueOne(wave::WaveOut* device, TestBuffer& buffer);
void QueueOne(wave::WaveIn* device, TestBuffer& buffer);
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
    void OnReturn(std::function<void(wave::WaveHeader*)> action);
    bool WaitFor(size_t count);  // whether that many came back within 20 s
    size_t Count();
    std::vector<Returned> All();
    // When the last header came back.
    std::chrono::steady_clock::time_point LastReturnTime();

  private:
    void Note(uint32_t message, wave::WaveHeader* header);

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
    void SetUp() override;
    void TearDown() override;
    wave::Result OpenOut(uint32_t card, const WaveFormat& format);
    wave::Result OpenIn(uint32_t card, const WaveFormat& format);

    wave::WaveOut* out = nullptr;
    wave::WaveIn* in = nullptr;
    ReturnedBuffers returned;
    Buffers buffers;
};
