#pragma once

#include <string>

// How a song's files are saved so that an interruption at any moment (a crash, a power cut, a
// full disk) leaves the previous version whole:
//
//  1. every song file is written under a pending name (".saving." + its name) and synced;
//  2. a commit mark (".saving.committed") is written atomically: from here on the pending
//     files are the song;
//  3. the pending files are renamed over the song files, one by one;
//  4. the mark is removed.
//
// A reader that finds the mark reads a file's pending version where it is still there, so it
// sees the new version whole, without writing anything; without the mark, pending files are
// leftovers of a save that never committed and are ignored. The next save finishes a
// committed save (the renames) or removes the leftovers before it writes anything.
class SongSave {
  public:
    // The files of one save, in the order they are renamed.
    static constexpr const char* Files[] = {"chan_events.dbf", "chan_plugins.dbf",
                                            "channel_info.struct"};

    static std::string PendingName(const char* file) { return std::string(".saving.") + file; }
    static constexpr char CommitMark[] = ".saving.committed";

    // Where the song's current version of file is to be read, in the current folder.
    static std::string CurrentName(const char* file);

    // Before a save writes: finishes or clears what an interrupted save left. Throws
    // DisplayedError when that cannot be done.
    static void Begin();
    // Makes the pending files the song's (steps 2 to 4). Throws DisplayedError when the song
    // could not be committed; the previous version stays whole then.
    static void Commit();

    // Throws the DisplayedError of a save that failed on file.
    [[noreturn]] static void ThrowFailed(const std::string& file, int error);

  private:
    static void FinishCommitted();
};
