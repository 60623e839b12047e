#include "platform/wave/alsa/AlsaDrivers.h"

#include <sys/eventfd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/wave/WaveDevice.h"

namespace wave {

bool AlsaDeviceClaims::Claim(Direction direction, const std::string& name) {
    std::lock_guard<std::mutex> guard(lock_);
    return claimed_.emplace(direction, name).second;
}

void AlsaDeviceClaims::Release(Direction direction, const std::string& name) {
    std::lock_guard<std::mutex> guard(lock_);
    claimed_.erase({direction, name});
}

bool AlsaDeviceClaims::IsClaimed(Direction direction, const std::string& name) {
    std::lock_guard<std::mutex> guard(lock_);
    return claimed_.count({direction, name}) != 0;
}

AlsaDriver::AlsaDriver(AlsaPcm pcm, const AlsaStreamSetup& setup, const WaveFormat& format,
                       std::shared_ptr<AlsaDeviceClaims> claims, Direction direction,
                       std::string name)
    : pcm_(std::move(pcm)),
      setup_(setup),
      frameBytes_(format.BlockAlign),
      rate_(format.SamplesPerSec),
      claims_(std::move(claims)),
      direction_(direction),
      name_(std::move(name)),
      wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (wake_.Get() < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
    const int count = std::max(snd_pcm_poll_descriptors_count(pcm_.Get()), 0);
    fds_.resize(static_cast<size_t>(count) + 1);
    fds_[0] = {wake_.Get(), POLLIN, 0};
}

AlsaDriver::~AlsaDriver() {
    pcm_.Close();
    claims_->Release(direction_, name_);
}

void AlsaDriver::Wake() {
    eventfd_write(wake_.Get(), 1);
}

int AlsaDriver::PeriodMs() const {
    return static_cast<int>(setup_.periodFrames * 1000 / rate_) + 1;
}

void AlsaDriver::Wait(std::unique_lock<std::mutex>& lock, int timeoutMs, bool forPcm) {
    lock.unlock();
    nfds_t count = 1;
    if (forPcm && fds_.size() > 1) {
        const int filled = snd_pcm_poll_descriptors(pcm_.Get(), fds_.data() + 1,
                                                    static_cast<unsigned>(fds_.size() - 1));
        if (filled > 0)
            count += static_cast<nfds_t>(filled);
    }
    if (poll(fds_.data(), count, timeoutMs) > 0) {
        if (fds_[0].revents & POLLIN) {
            eventfd_t ignored;
            eventfd_read(wake_.Get(), &ignored);
        }
        if (count > 1) {
            unsigned short revents = 0;
            snd_pcm_poll_descriptors_revents(pcm_.Get(), fds_.data() + 1,
                                             static_cast<unsigned>(count - 1), &revents);
        }
    }
    lock.lock();
}

void AlsaPlaybackDriver::Run(WaveDevice& device) {
    snd_pcm_t* pcm = pcm_.Get();
    std::unique_lock<std::mutex> lock(device.Mutex());
    uint64_t written = 0;  // frames handed to ALSA since the device opened
    size_t writing = 0;    // queue index of the header being written; those before it wait
                           // to be heard, each marked with `written` at its last frame
    uint32_t offset = 0;   // bytes of that header written
    bool dry = false;      // everything written was heard and nothing more was queued
    for (;;) {
        if (device.QuitRequested())
            break;
        if (device.PendingCommand() != WaveDevice::Command::None) {
            snd_pcm_drop(pcm);
            snd_pcm_prepare(pcm);
            writing = 0;
            offset = 0;
            dry = false;
            device.ServeCommand(lock);
            continue;
        }
        HeaderQueue& queue = device.Queued();
        bool waitForRoom = false;
        bool allHeard = false;
        bool broken = false;  // ALSA could not recover: the device is gone
        if (writing < queue.Size()) {
            WaveHeader* header = queue.At(writing);
            const uint32_t total = header->BufferLength / frameBytes_ * frameBytes_;
            snd_pcm_sframes_t result = 0;
            if (offset < total) {
                // Unlocked: the caller may queue more meanwhile; only this thread removes.
                lock.unlock();
                result = snd_pcm_writei(pcm, header->Data + offset, (total - offset) / frameBytes_);
                lock.lock();
            }
            if (result == -EAGAIN) {
                waitForRoom = true;
            } else if (result < 0) {
                // A ring that drained because nothing was queued was counted when the next
                // buffer came; only running out with this buffer at hand is the driver's own.
                if (result == -EPIPE && !dry)
                    device.NoteUnderrun();
                if (snd_pcm_recover(pcm, static_cast<int>(result), 1) < 0)
                    broken = true;
                allHeard = true;  // the ring ran dry or was dropped
            } else {
                dry = false;
                offset += static_cast<uint32_t>(result) * frameBytes_;
                written += static_cast<uint64_t>(result);
                if (offset >= total) {
                    queue.MarkAt(writing) = written;
                    ++writing;
                    offset = 0;
                }
            }
        }

        uint64_t heard = written;
        if (!broken && writing > 0 && !allHeard) {
            snd_pcm_sframes_t delay = 0;
            int error = snd_pcm_delay(pcm, &delay);
            // Some plug-ins report the last delay instead of an error once the ring ran out.
            if (error == 0 && snd_pcm_state(pcm) == SND_PCM_STATE_XRUN)
                error = -EPIPE;
            if (error == -EPIPE) {
                // The ring drained: everything written was heard. With a buffer still waiting
                // to be written, the driver was late.
                if (writing < device.Queued().Size() && !dry)
                    device.NoteUnderrun();
                if (snd_pcm_recover(pcm, error, 1) < 0)
                    broken = true;
            } else if (error < 0 && snd_pcm_recover(pcm, error, 1) < 0) {
                broken = true;
            } else if (error == 0 && delay > 0) {
                heard = written - std::min<uint64_t>(static_cast<uint64_t>(delay), written);
            }
        }
        if (broken) {
            device.FailAndIdle(lock);
            break;
        }
        while (writing > 0 && device.Queued().MarkAt(0) <= heard) {
            device.CompleteFront(lock);
            --writing;
        }
        if (writing == 0 && device.Queued().Empty() && written > 0 && !dry) {
            dry = true;
            device.NoteRanDry();
        }
        if (device.QuitRequested() || device.PendingCommand() != WaveDevice::Command::None)
            continue;

        int untilHeardMs = -1;
        if (writing > 0) {
            const uint64_t left = device.Queued().MarkAt(0) - heard;
            untilHeardMs = static_cast<int>(std::min<uint64_t>(left * 1000 / rate_ + 1, 1000));
        }
        if (waitForRoom)
            Wait(lock, untilHeardMs, true);
        else if (writing < device.Queued().Size())
            continue;
        else
            Wait(lock, untilHeardMs, false);
    }
    snd_pcm_drop(pcm);
}

void AlsaCaptureDriver::Run(WaveDevice& device) {
    snd_pcm_t* pcm = pcm_.Get();
    std::unique_lock<std::mutex> lock(device.Mutex());
    // The PCM runs only from the moment a buffer is there to take its input: while armed (started
    // with nothing queued) it stays stopped, so a take never begins with what arrived before.
    bool running = false;
    for (;;) {
        if (device.QuitRequested())
            break;
        if (device.PendingCommand() != WaveDevice::Command::None) {
            if (running)
                snd_pcm_drop(pcm);
            running = false;
            device.ServeCommand(lock);
            continue;
        }
        if (!device.CaptureStarted()) {
            if (running)
                snd_pcm_drop(pcm);
            running = false;
            Wait(lock, -1, false);
            continue;
        }
        HeaderQueue& queue = device.Queued();
        if (queue.Empty()) {
            // Running: ALSA's ring holds the input until a buffer comes back (an overrun if
            // that takes too long).
            Wait(lock, -1, false);
            continue;
        }
        if (!running) {
            int error = snd_pcm_prepare(pcm);
            if (error == 0)
                error = snd_pcm_start(pcm);
            if (error < 0) {
                device.FailAndIdle(lock);
                break;
            }
            running = true;
        }
        WaveHeader* header = queue.At(0);
        const uint32_t space = (header->BufferLength - header->BytesRecorded) / frameBytes_;
        if (space == 0) {
            device.CompleteFront(lock);
            continue;
        }
        lock.unlock();
        const snd_pcm_sframes_t result =
            snd_pcm_readi(pcm, header->Data + header->BytesRecorded, space);
        lock.lock();
        if (result == -EAGAIN) {
            Wait(lock, -1, true);
        } else if (result == 0) {
            Wait(lock, PeriodMs(), false);  // nothing came (the file plug-in's input ended)
        } else if (result < 0) {
            if (result == -EPIPE)
                device.NoteOverrun();  // the ring overflowed
            if (snd_pcm_recover(pcm, static_cast<int>(result), 1) < 0) {
                device.FailAndIdle(lock);
                break;
            }
            running = false;
        } else {
            header->BytesRecorded += static_cast<uint32_t>(result) * frameBytes_;
            if (header->BufferLength - header->BytesRecorded < frameBytes_)
                device.CompleteFront(lock);
        }
    }
    if (running)
        snd_pcm_drop(pcm);
}

}  // namespace wave
