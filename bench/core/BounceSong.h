#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Channel;

// The bounce benchmark's song: 16 stereo 16-bit tracks of 10 minutes at 44100 Hz in a folder
// of their own ("channel0_" to "channel15_", exported as "track1.wav" to "track16.wav"), and a
// 17th track ("channel16_") that a bounce mixes them into.
//
// The engine works in the folder as the program does in a song's folder: it is the current
// folder (the tracks' files and the log land there), and HOME and XDG_CONFIG_HOME point to it
// (the settings file too). One virtual card, free running, keeps nothing it plays.
class BounceSong {
  public:
    static constexpr int Tracks = 16;
    static constexpr int64_t Frames = int64_t{600} * 44100;
    static constexpr uint32_t Rate = 44100;

    // Enters folder (made when missing) and sets up the engine with cacheBytes of cache per
    // track (0: none).
    BounceSong(const std::string& folder, int32_t cacheBytes);
    // Stops the engine and releases it.
    ~BounceSong();
    BounceSong(const BounceSong&) = delete;
    BounceSong& operator=(const BounceSong&) = delete;

    // Writes the 16 tracks and their WAVE exports, then the marker file "generated".
    void Generate();
    // Opens the 16 tracks the folder holds; throws std::runtime_error when one is missing or
    // not 10 minutes of 16-bit stereo.
    void OpenTracks();
    // Drops the tracks' segment files from the page cache (their data is on the disk).
    void DropFromPageCache() const;

    struct BounceResult {
        double seconds = 0;  // Play to the end of Stop (the target saved and synced)
        int64_t frames = 0;  // the target track's length
    };
    // Bounces the open tracks into an emptied "channel16_" until the song's end has been
    // mixed. Throws std::runtime_error when the run fails or ends early.
    BounceResult Bounce();
    // Compares frames of the target at a few places with the sum of the sources, each added
    // with 16-bit saturation in track order as the card does. Returns the number of frames
    // compared; throws std::runtime_error naming the first frame that differs.
    int64_t CheckMix() const;

    Channel* Track(int index) const { return tracks_[static_cast<size_t>(index)]; }

    static std::string WaveName(int index) { return "track" + std::to_string(index + 1) + ".wav"; }
    static constexpr const char* MarkerName = "generated";

  private:
    std::vector<Channel*> tracks_;
    Channel* target_ = nullptr;
};
