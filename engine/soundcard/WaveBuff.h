#pragma once

#include <cstdint>

#include "platform/os/PageBuffer.h"
#include "platform/wave/WaveApi.h"

// One wave buffer of a sound card: a page-aligned block of sample bytes and the header that
// hands it to a device. The header's User field points back at the buffer record.
class WaveBuff {
  public:
    // Throws OrvellError "Out of memory" when the block cannot be allocated.
    explicit WaveBuff(uint32_t bytes);
    virtual ~WaveBuff();
    WaveBuff(const WaveBuff&) = delete;
    WaveBuff& operator=(const WaveBuff&) = delete;

    virtual void Unprepare() = 0;

    wave::WaveHeader* Header() { return &header_; }
    const wave::WaveHeader* Header() const { return &header_; }
    uint32_t Length() const { return header_.BufferLength; }
    int16_t* Samples() { return reinterpret_cast<int16_t*>(memory_.Data()); }
    const int16_t* Samples() const { return reinterpret_cast<const int16_t*>(memory_.Data()); }
    bool Prepared() const { return prepared_ != 0; }
    bool Fresh() const { return fresh_; }

  protected:
    int prepared_ = 0;
    PageBuffer memory_;
    wave::WaveHeader header_;
    bool fresh_ = true;
};

// An output buffer: mixed into on the player thread, then written to the wave-out device.
class Outbuff : public WaveBuff {
  public:
    explicit Outbuff(uint32_t bytes);
    ~Outbuff() override;

    // Throws InternalError "Can't prepare header!!".
    void Prepare(wave::WaveOut* device);
    // Queues the buffer; a refusal is thrown as the wave result code, a plain unsigned int.
    void Write();
    // Throws InternalError "Can't unprepare header" (the device error goes to the log).
    void Unprepare() override;
    // Silence, and marks the buffer fresh.
    void Clear();
    // Adds samples (Length() bytes of them) into the buffer: the first mix into a fresh buffer
    // copies, later ones add, saturating at the 16-bit range. Runs on the player thread.
    void Mix(const int16_t* samples);

  private:
    wave::WaveOut* device_ = nullptr;
};

// An input buffer: filled by the wave-in device, written to the track by the recorder.
class Inbuff : public WaveBuff {
  public:
    explicit Inbuff(uint32_t bytes);
    ~Inbuff() override;

    // Throws InternalError "Can't prepare header!!".
    void Prepare(wave::WaveIn* device);
    // Hands the buffer to the device to be filled; the device's answer (NoDriver once it
    // failed).
    wave::Result Add();
    // Throws InternalError "Can't unprepare header".
    void Unprepare() override;

  private:
    wave::WaveIn* device_ = nullptr;
};
