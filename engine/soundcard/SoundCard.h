#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/OrvellError.h"
#include "core/PalkExport.h"
#include "platform/wave/DeviceCaps.h"

class Channel;
class Event;
class Inbuff;
class Outbuff;
class SuperWaveFile;

namespace wave {
struct WaveOut;
struct WaveIn;
struct WaveHeader;
}  // namespace wave

// One opened sound card: a wave-out device fed with a ring of output buffers, and a wave-in
// device whose input buffers its recorder thread writes to a track.
class PALKENG_API SoundCard {
  public:
    // Opens nothing: index is the card's position in the engine's card list.
    explicit SoundCard(char index);
    // Ends the recorder thread and frees the buffers. The devices must be closed already.
    ~SoundCard();
    SoundCard(const SoundCard&) = delete;
    SoundCard& operator=(const SoundCard&) = delete;

    // Reads the device's capabilities and name, starts the recorder thread (once) and creates
    // the buffers for the engine's buffer count and size.
    void Init(char deviceId);
    // Replaces every output and input buffer: count buffers of frames * 4 bytes, rounded
    // down to a multiple of 1024.
    void CreateBuffers(int count, unsigned long frames);

    // Opens the wave-out device for 16-bit stereo at rate for a run. False (nothing opened)
    // on a muted card. Throws DisplayedError with the device's error text when it cannot be
    // opened.
    bool InitPlayback(int rate);
    // Player thread: takes the next empty output buffer as the one being mixed, waiting for
    // the device to give one back when none is free. False when the engine stopped playing
    // or the device failed while it waited. Does nothing (true) on a muted card.
    bool NextOutBuffer();
    // Player thread: waits, as NextOutBuffer would, until a buffer is free, without taking it.
    // The player waits here before it takes the engine lock, so that Stop never waits for a
    // device to give a buffer back.
    bool AwaitFreeBuffer();
    // Player thread: adds one buffer of 16-bit stereo frames (at least the buffer's length)
    // into the buffer being mixed.
    void Mix(const short* samples);
    // Player thread: hands every mixed buffer to the device, or in bounce mode appends it to
    // the target track (advancing PlayPos when this card is the clock). Throws the device's
    // error when it refuses a buffer.
    void Play();
    // Ends the run: every queued buffer comes back, the device is closed. Throws the device's
    // error when it cannot be closed (the device then stays open). Ends bounce mode: the
    // target track is saved (its error is thrown after the card has left bounce mode).
    void StopPlayback();
    // Bounce mode until the next StopPlayback: the mixed buffers go to channel's file (made
    // stereo 16-bit) instead of the device. Throws what Channel::SetFormat throws.
    void BuildMix(Channel* channel);
    bool IsBouncing() const { return bounceTarget_ != nullptr; }

    // Recording. Rec arms the card for file: opens the wave-in device in the file's format at
    // rate and starts it with no buffer queued, so nothing is captured yet (throws
    // DisplayedError "Enable R before starting." while playing, "Soundcard allready busy!"
    // when another track is armed, and the device's error when it cannot be opened).
    void Rec(SuperWaveFile* file, int rate);
    // Starts the take at PlayPos + LagTime: every input buffer goes to the device and the
    // recorder appends each filled one to the file. Nothing happens on a card that is not
    // armed.
    void RecStart();
    // Ends the take and returns once the file is finished with everything captured; final
    // also disarms and closes the device (DisplayedError "Disable R after stopping." while
    // playing).
    void RecStop(bool final);
    // The peak of the latest captured buffer (0 before the card was armed).
    unsigned short GetInputMeterValue();
    // Input buffers written to the track since the card was made (for progress and tests).
    uint64_t RecordedBufferCount() const { return recordedBuffers_.load(); }
    // Whether a take is open: its file is not finished yet.
    bool IsCapturing() const;

    bool Muted_b() const { return muted_.load(); }
    bool HasRecordingFile() const { return recordingFile_.load() != nullptr; }
    // The wave-out device failed during the run (unplugged, driver error): the run must end.
    bool PlaybackFailed() const { return playbackFailed_.load(); }

    // The wave API's result code as an error naming the failure and the device.
    static OrvellError GetError(unsigned int code, unsigned int deviceId);

    static int GetLagTime() { return LagTime; }
    static void SetLagTime(int frames) { LagTime = frames; }

    // Number of SoundCard objects in existence.
    static int8_t Antal;
    // Recording lag compensation in frames, added to the play position to find where the
    // first recorded frame lands.
    static int32_t LagTime;

    // Read by the GUI.
    wave::DeviceCaps Capabilities;
    std::string DeviceName;
    int8_t Index;
    int8_t DeviceId = -1;

    // Buffers, for inspection.
    size_t OutputBufferCount() const;
    size_t InputBufferCount() const;
    const Outbuff& OutputBuffer(size_t i) const;
    const Inbuff& InputBuffer(size_t i) const;
    const Outbuff* CurrentBuffer() const { return currentBuffer_; }
    // For each output buffer, in how many places it is: the free list, the filled list, the
    // current buffer, queued at the device. Every count is 1 whenever the card is at rest.
    std::vector<int> OutputBufferPlaces() const;

  protected:
    // Driver thread: a played (or returned) output buffer is free again.
    void WaveOutProc(Outbuff* buffer);
    // Driver thread: a filled (or returned) input buffer goes to the recorder. No I/O here.
    void waveInProc(Inbuff* buffer);
    // Recorder thread: the last input buffer of a take came back: finishes the file.
    void CloseRecFile();

  private:
    friend class PalkMixer;
    struct Buffers;
    // Whether the buffers this card gets back (or bounces) advance PlayPos: set by the engine
    // for one card of a run.
    void SetClock(bool on) { clock_ = on; }
    // The wait of NextOutBuffer; false when the run ended or the device failed meanwhile.
    bool WaitForFreeBuffer(std::unique_lock<std::mutex>& guard);
    // Puts a buffer that never reached the device back on the free list.
    void ReturnUnsent(Outbuff* buffer);
    static void OutCallback(wave::WaveOut* device, uint32_t message, void* instance,
                            wave::WaveHeader* header);
    static void InCallback(wave::WaveIn* device, uint32_t message, void* instance,
                           wave::WaveHeader* header);
    void Recorder();
    // Recorder thread: one filled buffer: written, then given back to the device while the
    // take goes on, or counted as drained.
    void RecordBuffer(Inbuff* buffer);
    // A buffer that will not go back to the device this take; the last one closes the file.
    void BufferDrained();
    // Ends the take after the disk or the device failed: capture stops, the error is queued,
    // the file is finished with what reached the disk.
    void EndTakeAfterFailure(const std::string& reason);
    // Disarms on the way out: the take (if any) is finished and the device closed.
    void ReleaseRecording();
    void MixerInit();
    uint32_t DeviceNumber() const;

    std::mutex recordQueueLock_;
    mutable std::mutex playbackLock_;
    std::unique_ptr<Buffers> buffers_;
    std::atomic<bool> muted_{false};
    std::atomic<wave::WaveOut*> waveOut_{nullptr};
    std::atomic<wave::WaveIn*> waveIn_{nullptr};
    std::atomic<bool> exit_{false};
    std::atomic<bool> clock_{false};
    std::atomic<bool> playbackFailed_{false};
    std::atomic<SuperWaveFile*> recordingFile_{nullptr};
    std::atomic<Channel*> bounceTarget_{nullptr};
    std::unique_ptr<Event> bufferReturned_;
    std::unique_ptr<Event> recordData_;
    std::thread recorder_;
    std::atomic<bool> closeAfterStop_{false};
    std::unique_ptr<Event> recordFileClosed_;
    // Held while the recorder decides whether a buffer goes back to the device, and while a
    // take is ended (Writing cleared): a buffer is either queued before the device is reset
    // (and comes back) or counted as drained, never left queued into the next take.
    std::mutex captureLock_;
    unsigned drained_ = 0;                 // guarded by captureLock_
    std::atomic<bool> takeFailed_{false};  // the disk or the device failed this take
    std::atomic<bool> meterReady_{false};
    std::atomic<uint64_t> recordedBuffers_{0};
    Outbuff* currentBuffer_ = nullptr;
};

// Appends "N: product name" for every playback device of the machine, numbered by device.
PALKENG_API void GetAllSoundCards(std::list<std::string>& names);
