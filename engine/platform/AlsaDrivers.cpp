#include "platform/AlsaDrivers.h"

#include <sys/eventfd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/WaveDevice.h"

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
    bool broken = false;   // ALSA could not recover: buffers come back unplayed
    for (;;) {
        if (device.QuitRequested())
            break;
        if (device.PendingCommand() != WaveDevice::Command::None) {
            snd_pcm_drop(pcm);
            snd_pcm_prepare(pcm);
            writing = 0;
            offset = 0;
            device.ServeCommand(lock);
            continue;
        }
        HeaderQueue& queue = device.Queued();
        if (broken) {
            // The device is gone; let every buffer come back so that nobody waits for it.
            if (queue.Empty())
                Wait(lock, -1, false);
            else
                device.CompleteFront(lock);
            continue;
        }

        bool waitForRoom = false;
        bool allHeard = false;
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
                if (result == -EPIPE)
                    device.NoteUnderrun();
                if (snd_pcm_recover(pcm, static_cast<int>(result), 1) < 0) {
                    broken = true;
                    continue;
                }
                allHeard = true;  // the ring ran dry or was dropped
            } else {
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
        if (writing > 0 && !allHeard) {
            snd_pcm_sframes_t delay = 0;
            const int error = snd_pcm_delay(pcm, &delay);
            if (error == -EPIPE) {
                device.NoteUnderrun();
                if (snd_pcm_recover(pcm, error, 1) < 0)
                    broken = true;
            } else if (error == 0 && delay > 0) {
                heard = written - std::min<uint64_t>(static_cast<uint64_t>(delay), written);
            }
        }
        while (writing > 0 && device.Queued().MarkAt(0) <= heard) {
            device.CompleteFront(lock);
            --writing;
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
    bool running = false;
    bool broken = false;
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
        if (!device.CaptureStarted() || broken) {
            if (running)
                snd_pcm_drop(pcm);
            running = false;
            Wait(lock, -1, false);
            continue;
        }
        if (!running) {
            int error = snd_pcm_prepare(pcm);
            if (error == 0)
                error = snd_pcm_start(pcm);
            if (error < 0) {
                broken = true;
                continue;
            }
            running = true;
        }
        HeaderQueue& queue = device.Queued();
        if (queue.Empty()) {
            Wait(lock, -1, false);
            continue;
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
                device.NoteUnderrun();  // the ring overflowed
            if (snd_pcm_recover(pcm, static_cast<int>(result), 1) < 0)
                broken = true;
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
