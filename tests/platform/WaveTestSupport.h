#pragma once

// Helpers for the wave layer's tests: buffers with their headers, and a recorder of what
// comes back through a device's callback.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/WaveApi.h"

WaveFormat PcmFormat(uint32_t rate, uint16_t channels, uint16_t bits);

// Deterministic, non-repeating bytes (so misplaced or repeated blocks show up).
std::string PatternBytes(size_t count, uint32_t seed);

// Byte strings compared by size and first differing offset (instead of printing both).
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);

// One buffer and its header, the header pointing at the buffer.
struct TestBuffer {
    explicit TestBuffer(size_t bytes);
    TestBuffer(const TestBuffer&) = delete;
    TestBuffer& operator=(const TestBuffer&) = delete;
    void Fill(const std::string& bytes);  // the buffer's length of them
    std::string Recorded() const;         // the first BytesRecorded bytes
    std::vector<char> data;
    wave::WaveHeader header;
};
std::vector<std::unique_ptr<TestBuffer>> MakeBuffers(size_t count, size_t bytes);

// Collects every header that comes back through a device's callback, in order, with the
// message, the calling thread and (capture) a copy of what the header held.
class ReturnedBuffers {
  public:
    static void OutCallback(wave::WaveOut* device, uint32_t message, void* instance,
                            wave::WaveHeader* header);
    static void InCallback(wave::WaveIn* device, uint32_t message, void* instance,
                           wave::WaveHeader* header);

    // Runs inside the callback before the return is counted (e.g. to queue it again).
    void OnReturn(std::function<void(wave::WaveHeader*)> action);

    bool WaitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    size_t Count();
    std::vector<wave::WaveHeader*> Headers();
    std::vector<uint32_t> Messages();
    std::vector<std::thread::id> Threads();
    std::vector<uint32_t> FlagsSeen();  // header flags as the callback saw them
    std::string CapturedBytes();        // everything the returned capture headers held

  private:
    void Note(uint32_t message, wave::WaveHeader* header);

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<wave::WaveHeader*> headers_;
    std::vector<uint32_t> messages_;
    std::vector<std::thread::id> threads_;
    std::vector<uint32_t> flags_;
    std::string captured_;
    std::function<void(wave::WaveHeader*)> action_;
};
