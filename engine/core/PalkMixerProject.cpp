// Creating, opening and saving a song: the order of the calls into the tracks and plug-ins,
// and the song folder.
#include <sys/stat.h>
#include <unistd.h>

#include <list>
#include <string>
#include <vector>

#include "core/PalkMixer.h"
#include "storage/StorageError.h"
#include "tracks/Channel.h"
#include "tracks/ChannelInfo.h"
#include "tracks/SongSave.h"
#include "tracks/SongTables.h"

void PalkMixer::TellPlugins(unsigned long command, unsigned long first, unsigned long second) {
    for (int i = 0; i < pluginCount_; ++i)
        plugins_[i](command, first, second);
}

void PalkMixer::NewProject(const char* name) {
    const std::string folder = name ? name : "";
    if (playing)
        Stop();
    if (folder.empty() || ::mkdir(folder.c_str(), 0777) != 0)
        throw DisplayedError("Can't create directory:" + folder);
    if (::chdir(folder.c_str()) != 0)
        throw DisplayedError("Can't open directory:" + folder);
    songOpen_ = true;
    const SongTables::SongEvents none;  // a new folder holds no table
    for (Channel* channel : tracks_) {
        channel->Name = std::to_string(channel->GetIndex());
        // A new song starts without the previous one's effects.
        std::list<std::string> missing;
        channel->ReplacePlugins({}, missing);
        channel->Init(none);
    }
}

void PalkMixer::LoadProject(const char* name) {
    const std::string folder = name ? name : "";
    if (playing)
        Stop();
    // Loading whatever folder happens to be current instead would show a song that is not the
    // one asked for, and a later save would write into it.
    if (folder.empty() || ::chdir(folder.c_str()) != 0)
        throw DisplayedError("Can't open directory:" + folder);
    songOpen_ = true;
    TellPlugins(13, 0, 0);
    LoadChannels();
}

void PalkMixer::LoadChannels() {
    // The previous song's pieces go first: a track holding audio refuses a new format.
    for (Channel* channel : tracks_)
        channel->DetachAudio();

    std::vector<ChannelInfo> records;
    const bool namesValid = ChannelInfo::ReadFile(SongSave::CurrentName(ChannelInfo::FileName),
                                                  tracks_.size(), records);
    for (size_t i = 0; i < records.size(); ++i) {
        tracks_[i]->Name = records[i].name;
        tracks_[i]->SetFormat(records[i].stereo, records[i].sixteenBit);
    }

    const SongTables::SongEvents events =
        SongTables::ReadEvents(SongSave::CurrentName(SongTables::EventsFile));
    Channel::QueueIfDamaged(events);
    SongTables::TableState pluginsTable = SongTables::TableState::Read;
    for (Channel* channel : tracks_) {
        if (!namesValid)
            channel->Name = std::to_string(channel->GetIndex());
        // One damaged track must not keep the others from opening: it opens with what could
        // be read of it, and the user is told.
        try {
            channel->Init(events);
        } catch (const StorageError& error) {
            QueueError(DisplayedError(
                "The track file channel" + std::to_string(channel->GetIndex()) + "_ is damaged (" +
                error.what() + "): the track opens with what could be read."));
        } catch (const OrvellError& error) {
            QueueError(error);
        }
        RestorePlugins(*channel, pluginsTable);
    }
}

void PalkMixer::RestorePlugins(Channel& channel, SongTables::TableState& table) {
    std::list<std::string> names;
    if (table != SongTables::TableState::Damaged) {
        table = SongTables::ReadPlugins(SongSave::CurrentName(SongTables::PluginsFile),
                                        channel.GetIndex(), names);
        if (table == SongTables::TableState::Damaged)
            QueueError(DisplayedError(std::string("The song's effects file ") +
                                      SongTables::PluginsFile +
                                      " is damaged: the tracks open without their effects."));
    }
    std::list<std::string> missing;
    channel.ReplacePlugins(names, missing);
    if (missing.empty())
        return;
    std::string list;
    for (const std::string& name : missing)
        list += (list.empty() ? "" : ", ") + name;
    QueueError(DisplayedError("Track " + channel.Name + " uses effects that are not installed (" +
                              list + "): it plays without them until they are."));
}

void PalkMixer::SaveProject() {
    if (!songOpen_)
        return;
    Channel::SavePrepare();
    for (Channel* channel : tracks_)
        channel->Save();
    SongSave::Commit();
    TellPlugins(7, 0, static_cast<unsigned long>(-1));
}
