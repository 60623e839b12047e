#include "SongSession.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "tracks/Channel.h"

namespace {

int OpenFolder(const char* path) {
    return ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

SongSession::SongSession() : home_(OpenFolder(".")) {
    if (!home_.Valid())
        throw std::runtime_error(std::string("can't open the current folder: ") +
                                 std::strerror(errno));
}

SongSession::~SongSession() {
    LeaveSong();
}

void SongSession::Load(const std::string& folder, unsigned rate) {
    Mixer->SetSampleRate(rate);
    // The project commands work on the tracks the engine has.
    for (int i = 0; i < TrackCount; ++i)
        tracks_.push_back(Mixer->AddChannel());
    // The song's effects are the plug-ins beside the program.
    Mixer->LoadPlugins("");
    Mixer->LoadProject(folder.c_str());
    song_.Reset(OpenFolder("."));
    if (!song_.Valid()) {
        const int error = errno;
        LeaveSong();
        throw std::runtime_error("can't open " + folder + ": " + std::strerror(error));
    }
}

void SongSession::LeaveSong() {
    // Nothing to do about a failure: the folder it was given in cannot have gone away while
    // it is held open.
    (void)::fchdir(home_.Get());
}

void SongSession::EnterSong() {
    if (song_.Valid())
        (void)::fchdir(song_.Get());
}

std::vector<std::string> SongSession::TakeQueuedErrors() {
    LeaveSong();
    // Every error object logs its message when it is destroyed, the one that receives the
    // queued errors too: a run without errors makes none, so it writes no log at all.
    std::vector<std::string> messages;
    if (!Mixer->HasQueuedErrors())
        return messages;
    OrvellError receiver;
    while (Mixer->GetLastError(receiver))
        messages.push_back(receiver.Message);
    return messages;
}

int64_t SongSession::LengthFrames() const {
    int64_t frames = 0;
    for (const Channel* channel : tracks_)
        frames = std::max<int64_t>(frames, channel->GetTotalLength());
    return frames;
}
