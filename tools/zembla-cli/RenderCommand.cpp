#include "RenderCommand.h"

#include <signal.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "FormatNames.h"
#include "RenderProgress.h"
#include "SongCommandLine.h"
#include "SongSession.h"
#include "WavOutputFile.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "platform/wave/VirtualOutput.h"
#include "tracks/Channel.h"

namespace {

constexpr uint64_t FrameBytes = 4;  // the mixing format: 16-bit stereo

volatile std::sig_atomic_t interrupted = 0;

void NoteInterrupt(int) {
    interrupted = 1;
}

// Ctrl-C or a kill ends a render as an error does: the run stops, the engine shuts down and the
// temporary file goes, instead of the process dying with a half-written file beside OUT.wav.
class InterruptCatcher {
  public:
    InterruptCatcher() {
        struct sigaction action = {};
        action.sa_handler = NoteInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~InterruptCatcher() {
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

  private:
    struct sigaction previousInt_, previousTerm_;
};

int Fail(const std::string& what) {
    std::fprintf(stderr, "zembla-cli render: %s\n", what.c_str());
    return 1;
}

int Usage() {
    std::fprintf(stderr, "usage: zembla-cli render [--rate=HZ] SONG OUT.wav\n");
    return 2;
}

// Plays the loaded song from its start into out until the card has written dataBytes (or the
// run failed); returns where the card stands then.
wave::VirtualOutputProgress Play(WavOutputFile& out, uint64_t dataBytes, uint32_t rate) {
    wave::UseVirtualOutputFile(out.Fd(), dataBytes);
    if (Mixer->AddCard(0) != 1)
        throw std::runtime_error("the render's virtual card cannot be opened");
    Mixer->SetBufferInfo(RenderBufferCount, RenderBufferFrames, RenderCacheBytes);
    for (int i = 0; i < SongSession::TrackCount; ++i)
        Mixer->GetChannel(static_cast<char>(i))->SetSoundCard(0);
    Mixer->SetPos(0);

    const uint64_t frames = dataBytes / FrameBytes;
    RenderProgress progress(frames, rate);
    Mixer->Play();
    // A run that ends by itself has failed; its error is queued.
    while (Mixer->IsPlaying_b() && !interrupted) {
        const wave::VirtualOutputProgress written = wave::GetVirtualOutputProgress();
        progress.Show(written.bytesWritten / FrameBytes);
        if (written.bytesWritten >= dataBytes || written.writeError != 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Mixer->Stop();
    progress.Finish();
    const wave::VirtualOutputProgress written = wave::GetVirtualOutputProgress();
    if (written.bytesWritten >= dataBytes)
        std::printf("Rendered %s (%.3f s) in %.2f s, %.1fx real time\n",
                    FormatLength(static_cast<int64_t>(frames), rate).c_str(),
                    static_cast<double>(frames) / rate, progress.Seconds(), progress.Speed(frames));
    return written;
}

// Prints what the engine queued; true when it queued nothing.
bool ReportQueuedErrors(SongSession& session) {
    const std::vector<std::string> messages = session.TakeQueuedErrors();
    for (const std::string& message : messages)
        Fail(message);
    return messages.empty();
}

int Render(SongSession& session, const std::string& song, WavOutputFile& out, uint32_t rate) {
    session.Load(song, rate);
    if (!ReportQueuedErrors(session))
        return 1;
    session.EnterSong();
    const uint64_t dataBytes = static_cast<uint64_t>(session.LengthFrames()) * FrameBytes;
    out.WriteHeader(rate, dataBytes);
    if (dataBytes == 0) {
        session.LeaveSong();
        std::printf("The song is empty: %s holds no samples\n", out.Path().c_str());
        return 0;
    }
    const wave::VirtualOutputProgress written = Play(out, dataBytes, rate);
    if (!ReportQueuedErrors(session))
        return 1;
    if (interrupted)
        return Fail("interrupted: " + out.Path() + " was not written");
    if (written.writeError != 0)
        return Fail("can't write " + out.Path() + ": " + std::strerror(written.writeError));
    if (written.bytesWritten < dataBytes)
        return Fail("the song stopped playing before its end");
    return 0;
}

// Ends the engine's run in the command's folder; true when nothing went wrong there.
bool Terminate(SongSession& session) {
    session.LeaveSong();
    try {
        Mixer->Terminate();
        return true;
    } catch (const OrvellError& error) {
        Fail(error.Message);
    }
    return false;
}

}  // namespace

int RunRenderCommand(int argc, char** argv) {
    SongCommandLine line;
    if (!line.Parse("render", argc, argv))
        return 2;
    if (line.names.size() != 2)
        return Usage();
    // OUT.wav means what it meant where the command was given.
    std::error_code error;
    const std::filesystem::path target = std::filesystem::absolute(line.names[1], error);
    if (error)
        return Fail("can't create " + line.names[1] + ": " + error.message());
    try {
        InterruptCatcher catcher;
        SongSession session;
        WavOutputFile out(target.string());
        int result;
        try {
            result = Render(session, line.names[0], out, line.rate);
        } catch (const OrvellError& thrown) {
            session.LeaveSong();
            Fail(thrown.Message);
            ReportQueuedErrors(session);
            Terminate(session);
            return 1;
        } catch (const std::exception& thrown) {
            // The track storage's own texts, and the output file's.
            session.LeaveSong();
            Fail(thrown.what());
            ReportQueuedErrors(session);
            Terminate(session);
            return 1;
        }
        if (!Terminate(session) || result != 0)
            return 1;
        out.Commit();
    } catch (const std::exception& thrown) {
        return Fail(thrown.what());
    }
    return 0;
}
