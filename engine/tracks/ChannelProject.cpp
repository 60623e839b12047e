// A track's share of the song's files: its events, plug-in names and info record, and
// attaching it to its audio files when a song is created or opened.
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string>

#include "core/ErrorQueue.h"
#include "core/OrvellError.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"
#include "tracks/ChannelInfo.h"
#include "tracks/SongSave.h"
#include "tracks/SongTables.h"
#include "tracks/TrackInUse.h"

namespace {

[[noreturn]] void ThrowNotSaved(const char* file) {
    SongSave::ThrowFailed(file, errno);
}

}  // namespace

void Channel::SavePrepare() {
    SongSave::Begin();
    const std::string events = SongSave::PendingName(SongTables::EventsFile);
    const std::string plugins = SongSave::PendingName(SongTables::PluginsFile);
    if (!SongTables::CreateEvents(events))
        ThrowNotSaved(SongTables::EventsFile);
    if (!SongTables::CreatePlugins(plugins))
        ThrowNotSaved(SongTables::PluginsFile);
    const std::string info = SongSave::PendingName(ChannelInfo::FileName);
    if (::unlink(info.c_str()) != 0 && errno != ENOENT)
        ThrowNotSaved(ChannelInfo::FileName);
}

void Channel::Save() {
    int skipped = 0;
    if (!SongTables::AppendEvents(SongSave::PendingName(SongTables::EventsFile), Index,
                                  GetVolumeEvents(), GetPanEvents(), skipped))
        ThrowNotSaved(SongTables::EventsFile);
    if (skipped > 0)
        QueueEngineError(DisplayedError("Track " + Name + ": " + std::to_string(skipped) +
                                        " automation event(s) were not saved: their time or value "
                                        "does not fit the song file."));
    if (!SongTables::AppendPlugins(SongSave::PendingName(SongTables::PluginsFile), Index, Plugins))
        ThrowNotSaved(SongTables::PluginsFile);
    ChannelInfo info;
    info.name = Name;
    info.stereo = File->Format.Channels == 2;
    info.sixteenBit = File->Format.BitsPerSample == 16;
    if (!ChannelInfo::AppendToFile(SongSave::PendingName(ChannelInfo::FileName), info))
        ThrowNotSaved(ChannelInfo::FileName);
}

void Channel::Init() {
    const SongTables::SongEvents events =
        SongTables::ReadEvents(SongSave::CurrentName(SongTables::EventsFile));
    QueueIfDamaged(events);
    Init(events);
}

void Channel::QueueIfDamaged(const SongTables::SongEvents& events) {
    if (events.state == SongTables::TableState::Damaged)
        QueueEngineError(DisplayedError(std::string("The song's automation file ") +
                                        SongTables::EventsFile + " is damaged (" + events.problem +
                                        "): the tracks open without their volume and pan moves."));
}

void Channel::DetachAudio() {
    ThrowIfTrackInUse(*File);
    if (File->HasData())
        File->Reset();
}

void Channel::Init(const SongTables::SongEvents& events) {
    DetachAudio();
    std::exception_ptr openFailure;
    try {
        File->Open("channel" + std::to_string(Index) + "_");
    } catch (...) {
        openFailure = std::current_exception();
    }
    {
        std::lock_guard<std::mutex> guard(programLock_);
        ResetProgram(true);
        ResetProgram(false);
        if (const SongTables::TrackPrograms* own = events.Of(Index)) {
            VolumeEvents.insert(VolumeEvents.end(), own->volume.begin(), own->volume.end());
            PanEvents.insert(PanEvents.end(), own->pan.begin(), own->pan.end());
        }
        ++programVersion_;
    }
    if (openFailure)
        std::rethrow_exception(openFailure);
}
