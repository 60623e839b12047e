// The wave-in side of a sound card: arming a track, the take, and the recorder thread that
// writes every filled input buffer to the track file.
//
// A take's input buffers circulate between the device and the recorder: the driver thread
// queues each filled one (waveInProc), the recorder appends it to the file and gives it back
// to the device while the track is Writing. Once Writing is cleared (RecStop) or the take
// failed, every buffer that comes back is counted as drained instead, and the last one closes
// the file; a failed take's track is Writing until then.
#include <pthread.h>

#include <cstdio>
#include <string>

#include "core/EngineStatics.h"
#include "core/ErrorQueue.h"
#include "core/Log.h"
#include "core/PalkMixer.h"
#include "platform/os/Event.h"
#include "platform/wave/WaveApi.h"
#include "soundcard/BufferRing.h"
#include "soundcard/SoundCard.h"
#include "soundcard/SoundCardBuffers.h"
#include "soundcard/WaveBuff.h"
#include "storage/SuperWaveFile.h"

void SoundCard::Rec(SuperWaveFile* file, int rate) {
    if (Mixer && Mixer->IsPlaying_b())
        throw DisplayedError("Enable R before starting.");
    if (recordingFile_.load())
        throw DisplayedError("Soundcard allready busy!");
    recordingFile_ = file;

    const auto frameRate = static_cast<uint32_t>(rate);
    WaveFormat format = file->Format;
    format.SamplesPerSec = frameRate;
    format.AvgBytesPerSec = frameRate * format.BlockAlign;
    wave::WaveIn* device = nullptr;
    const wave::Result result =
        wave::WaveInOpen(&device, DeviceNumber(), format, &SoundCard::InCallback, this);
    if (result != wave::NoError) {
        recordingFile_ = nullptr;
        throw GetError(result, DeviceNumber());
    }
    waveIn_ = device;
    MixerInit();
    // Started with no buffer queued: the input is dropped until the take begins.
    wave::WaveInStart(device);
    if (Mixer && Mixer->IsRecording_b())
        RecStart();
}

void SoundCard::RecStart() {
    wave::WaveIn* device = waveIn_;
    SuperWaveFile* file = recordingFile_;
    // A take already open goes on as it is.
    if (!device || !file || IsCapturing())
        return;
    file->Writing = true;
    const int64_t start = int64_t{PlayPos.load()} + LagTime;
    if (start < 0) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "You use a lag compensation of %d samples. Please record from a position "
                      "after that time",
                      static_cast<int>(LagTime));
        throw DisplayedError(text);
    }
    file->SeekFrames(start);

    std::vector<std::unique_ptr<Inbuff>>& input = buffers_->input;
    // Every buffer is prepared before the first goes out, so that a refusal leaves nothing
    // queued and no take open.
    for (size_t i = 0; i < input.size(); ++i) {
        try {
            input[i]->Prepare(device);
        } catch (const InternalError&) {
            for (size_t k = 0; k <= i; ++k) {
                try {
                    if (input[k]->Prepared())
                        input[k]->Unprepare();
                } catch (const InternalError&) {
                    // Nothing was queued; the header is prepared again next take.
                }
            }
            file->Writing = false;
            throw;
        }
    }
    takeFailed_ = false;
    recordFileClosed_->Reset();
    size_t refused = 0;
    {
        std::lock_guard<std::mutex> guard(captureLock_);
        drained_ = 0;
        for (const auto& buffer : input) {
            if (buffer->Add() != wave::NoError) {
                ++refused;
                try {
                    buffer->Unprepare();
                } catch (const InternalError&) {
                    // The device is gone; the header is prepared afresh next take.
                }
            }
        }
    }
    if (refused > 0) {
        // The device failed between arming and now: the buffers it took come back marked
        // failed and end the take; the ones it refused never left.
        EndTakeAfterFailure(GetError(wave::NoDriver, DeviceNumber()).Message);
        for (size_t i = 0; i < refused; ++i)
            BufferDrained();
    }
}

void SoundCard::RecStop(bool final) {
    wave::WaveIn* device = waveIn_;
    if (!device)
        return;
    if (final && Mixer && Mixer->IsPlaying_b())
        throw DisplayedError("Disable R after stopping.");
    closeAfterStop_ = final;
    if (final)
        muted_ = false;
    {
        std::lock_guard<std::mutex> guard(captureLock_);
        if (SuperWaveFile* file = recordingFile_)
            file->Writing = false;
    }
    // Every queued buffer comes back through waveInProc with what it holds; the recorder
    // writes it and counts it.
    wave::WaveInReset(device);
    if (!final)
        wave::WaveInStart(device);
    recordFileClosed_->Wait();
    if (final && recordingFile_.load()) {
        // Armed, but no take was open: nobody else closes the device.
        recordingFile_ = nullptr;
        waveIn_ = nullptr;
        meterReady_ = false;
        wave::WaveInClose(device);
    }
}

void SoundCard::ReleaseRecording() {
    wave::WaveIn* device = waveIn_;
    if (!device)
        return;
    closeAfterStop_ = true;
    {
        std::lock_guard<std::mutex> guard(captureLock_);
        if (SuperWaveFile* file = recordingFile_)
            file->Writing = false;
    }
    wave::WaveInReset(device);
    recordFileClosed_->Wait();
    if (recordingFile_.load()) {
        recordingFile_ = nullptr;
        waveIn_ = nullptr;
        wave::WaveInClose(device);
    }
}

bool SoundCard::IsCapturing() const {
    return !recordFileClosed_->IsSet();
}

void SoundCard::InCallback(wave::WaveIn*, uint32_t message, void* instance,
                           wave::WaveHeader* header) {
    if (message == wave::InData && instance && header)
        static_cast<SoundCard*>(instance)->waveInProc(static_cast<Inbuff*>(header->User));
}

void SoundCard::waveInProc(Inbuff* buffer) {
    {
        std::lock_guard<std::mutex> guard(recordQueueLock_);
        buffers_->recorded.Push(buffer);
    }
    recordData_->Set();
}

void SoundCard::Recorder() {
    pthread_setname_np(pthread_self(), "zembla-recorder");
    // Waits for captured buffers until the card goes away. The exit flag is checked after
    // every wake-up, so a card destroyed right after Init still ends its recorder.
    for (;;) {
        recordData_->Wait();
        if (exit_)
            return;
        for (;;) {
            Inbuff* buffer = nullptr;
            {
                std::lock_guard<std::mutex> guard(recordQueueLock_);
                buffer = buffers_->recorded.Pop();
            }
            if (!buffer)
                break;
            RecordBuffer(buffer);
        }
    }
}

void SoundCard::RecordBuffer(Inbuff* buffer) {
    SuperWaveFile* file = recordingFile_;
    const bool deviceFailed = (buffer->Header()->Flags & wave::HeaderFailed) != 0;
    if (file && !takeFailed_) {
        try {
            // What a failed device delivered before it went is kept too.
            file->AppendRecorded(*buffer->Header());
            file->KeepDurable();
            ++recordedBuffers_;
        } catch (const OrvellError& error) {
            EndTakeAfterFailure(error.Message);
        } catch (const std::exception& error) {
            EndTakeAfterFailure(error.what());
        } catch (...) {
            EndTakeAfterFailure("unknown error");
        }
    }
    try {
        buffer->Unprepare();
    } catch (const InternalError&) {
        // Only a device that is gone refuses; the buffer is prepared afresh next take.
    }
    if (deviceFailed && !takeFailed_)
        EndTakeAfterFailure(GetError(wave::NoDriver, DeviceNumber()).Message);

    bool requeued = false;
    bool refused = false;
    {
        std::lock_guard<std::mutex> guard(captureLock_);
        wave::WaveIn* device = waveIn_;
        if (file && device && file->Writing && !takeFailed_) {
            try {
                buffer->Prepare(device);
                requeued = buffer->Add() == wave::NoError;
            } catch (const InternalError&) {
            }
            if (!requeued) {
                refused = true;
                try {
                    if (buffer->Prepared())
                        buffer->Unprepare();
                } catch (const InternalError&) {
                }
            }
        }
    }
    if (refused && !takeFailed_)
        EndTakeAfterFailure(GetError(wave::NoDriver, DeviceNumber()).Message);
    if (!requeued)
        BufferDrained();
}

void SoundCard::BufferDrained() {
    bool last = false;
    {
        std::lock_guard<std::mutex> guard(captureLock_);
        last = ++drained_ >= buffers_->input.size();
        if (last)
            drained_ = 0;
    }
    if (last)
        CloseRecFile();
}

void SoundCard::EndTakeAfterFailure(const std::string& reason) {
    {
        std::lock_guard<std::mutex> guard(captureLock_);
        if (takeFailed_)
            return;
        // The track stays Writing until its file is finished (CloseRecFile): the player
        // would otherwise read it while the recorder pads and saves it.
        takeFailed_ = true;
    }
    QueueEngineError(DisplayedError("Recording on " + DeviceName + " stopped: " + reason +
                                    "\nEverything recorded until then is kept."));
}

void SoundCard::CloseRecFile() {
    if (SuperWaveFile* file = recordingFile_) {
        if (takeFailed_)
            file->DropPendingWrites();
        try {
            file->FinishRecording();
        } catch (const OrvellError& error) {
            QueueEngineError(error);
        } catch (const std::exception& error) {
            // The metafile could not be rewritten; it already lists the take's segments.
            QueueEngineError(
                DisplayedError(std::string("The take could not be saved: ") + error.what()));
        } catch (...) {
            QueueEngineError(DisplayedError("The take could not be saved: unknown error"));
        }
        if (takeFailed_)
            file->Writing = false;
    }
    if (closeAfterStop_) {
        wave::WaveIn* device = waveIn_.exchange(nullptr);
        recordingFile_ = nullptr;
        meterReady_ = false;
        if (device)
            wave::WaveInClose(device);
    }
    // Last: a RecStop waiting for it finds the device already closed.
    recordFileClosed_->Set();
}

void SoundCard::MixerInit() {
    // The input level is measured by the wave-in layer on every captured buffer.
    meterReady_ = waveIn_.load() != nullptr;
}

unsigned short SoundCard::GetInputMeterValue() {
    wave::WaveIn* device = waveIn_;
    if (!meterReady_ || !device)
        return 0;
    return wave::WaveInGetPeak(device);
}
