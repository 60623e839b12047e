#pragma once

// A song folder opened by a command that only reads it (render, info): sixteen tracks, the song
// loaded into them, and the folder the command was given in kept at hand.
//
// LoadProject makes the song folder current, and it must stay current while the song plays
// (the tracks read their files by relative names). The engine's log, though, is written into
// whatever folder is current when one of its error objects goes away, and a song must not
// change because it was read. So every error the engine hands out is taken back in the
// command's folder: LeaveSong first thing in a catch block, TakeQueuedErrors to drain the
// queue.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/FileDescriptor.h"

class Channel;

class SongSession {
  public:
    static constexpr int TrackCount = 16;

    // Remembers the current folder (std::runtime_error when it cannot be opened).
    SongSession();
    // Back in the command's folder.
    ~SongSession();
    SongSession(const SongSession&) = delete;
    SongSession& operator=(const SongSession&) = delete;

    // Gives the engine its sixteen tracks and the plug-ins beside the program, and loads the
    // song into them at rate frames a second;
    // the song folder is current afterwards. Throws what the engine throws.
    void Load(const std::string& folder, unsigned rate);
    void LeaveSong();
    void EnterSong();
    // The messages of every error the engine queued, oldest first, taken in the command's
    // folder (which stays current).
    std::vector<std::string> TakeQueuedErrors();

    const std::vector<Channel*>& Tracks() const { return tracks_; }
    // The longest track, in frames.
    int64_t LengthFrames() const;

  private:
    FileDescriptor home_;
    FileDescriptor song_;
    std::vector<Channel*> tracks_;
};
