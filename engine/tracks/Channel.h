#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "QuibFX.h"
#include "core/PalkExport.h"
#include "tracks/ChannelEvent.h"

class PalkMixer;
class SuperWaveFile;
namespace SongTables {
struct SongEvents;
}

// One track of a song: its audio file, its volume and pan programs with the realtime values
// recorded while the song plays, its static offsets, and its mixing into its card's buffer.
//
// Threads: the GUI thread edits; the player thread calls Mix. The programs are guarded by one
// short lock per channel, held by the GUI for each edit and by Mix for the look-ups of one
// buffer. Flags and values the player reads without the lock are atomic.
class PALKENG_API Channel {
  public:
    Channel();
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    int GetIndex() const { return Index; }
    SuperWaveFile* GetChannelFile() const { return File; }

    // Track format.
    void SetFormat(bool stereo, bool sixteenBit);
    void GetFormat(bool& stereo, bool& sixteenBit) const;

    // Automation (positions in milliseconds at this boundary).
    void Fade(unsigned long from_ms, unsigned long to_ms, EventTypes::EventType type, float target);
    void ClearEvents(bool isVolume);
    void ClearEvents(unsigned int from_ms, unsigned int to_ms, bool isVolume);
    void Volume(float v);
    void Pan(float p);
    void RealTimeFade(bool start, bool isVolume);
    void GetRealtimeVolPan(float& volume, float& pan);
    void SetOffsetVol(float volume) { OffsetVolume = volume; }
    void SetOffsetPan(float pan) { OffsetPan = pan; }
    void GetOffsetVolPan(float& volume, float& pan) const {
        volume = OffsetVolume;
        pan = OffsetPan;
    }

    // Copies of the programs, for display and saving.
    EventList GetVolumeEvents() const;
    EventList GetPanEvents() const;

    // Mixing. Mix runs on the player thread only.
    void Mix();
    void MixToCardBuffer();
    void Enable(bool on) { Disabled = !on; }
    bool IsEnabled() const { return !Disabled; }
    void SetSoundCard(char index);
    char GetSoundCardIndex() const { return CardIndex; }
    void DispNext() {}
    void DispInput() {}
    void SetSampleRate(unsigned int /*rate*/) {}

    // The highest level this track sent to its card since the last call (0 to 1 of full scale,
    // after its gains and effects), and starts over from 0. The player posts one per buffer
    // mixed, without a lock; the GUI's meter timer takes it.
    float TakeLevel() { return level_.exchange(0.0f); }

    // Recording: arms the track on its card (throws DisplayedError "No soundcard for channel
    // %d" without one, or what SoundCard::Rec throws), and disarms it.
    void Rec();
    void StopRec();

    // The track's audio. Positions in milliseconds; the file work is the track file's.
    // Reads a WAV file into the track from position_ms on (or from the play position).
    void ImportWav(const char* path, int position_ms);
    void ImportWav(const char* path);
    void ExportToWave(const char* path);
    // Deletes the whole track's audio, or clears [from_ms, to_ms) (the track does not shift).
    void ClearData();
    void ClearData(int from_ms, int to_ms);
    void BuildPeakData(int resolution_ms);
    void GetPeakData(unsigned char** peaks, int* count);
    // Appends the start and end of every piece, in order, in milliseconds.
    void GetFileTimes_ms(std::vector<uint32_t>& times) const;

    // The song's files, in the current folder. A save is SavePrepare once, Save on every
    // track, then PalkMixer::SaveProject commits what they wrote: until then the song's files
    // are as they were. SavePrepare finishes or clears what an interrupted save left and
    // creates the tables empty; Save appends this track's events (after the head events), its
    // plug-in names and its info record. Both throw DisplayedError when a file cannot be
    // written. The audio files are not part of a save: they are saved as they change.
    static void SavePrepare();
    void Save();
    // Attaches the track to its audio files ("channel%d_" with its index) in the current
    // folder and loads its programs from the events table. A damaged table leaves the head
    // events only and queues one error naming it. Throws what opening the track file throws
    // (the programs are loaded all the same).
    void Init();

    // The track's effects: the plug-in names of its chain, in order, and the chain the player
    // runs on the track's audio between the read and the gain pass. AddPlugin tells the plug-in
    // and appends it (InternalError "Could not find plugin:" for a name not loaded, DisplayedError
    // when the track has it already or the plug-in refuses the track); RemovePlugin takes the
    // first entry of that name off and tells the plug-in, even when the track did not have it.
    // Both are safe while the song plays. GetKnobs gives the plug-in's knob table for this
    // track, or null when it shows its own setup, which FXSetup asks it to do with parent (a
    // native window id) as its parent window (DisplayedError when it cannot show one). MixFX
    // switches the chain on and off.
    void GetPlugins(std::list<std::string>& names) const;
    void AddPlugin(const char* name);
    void RemovePlugin(const char* name);
    FX::Knob* GetKnobs(const char* name);
    void FXSetup(const char* name, unsigned long parent);
    void MixFX(bool on) { fxOn_ = on; }
    bool IsMixingFX() const { return fxOn_.load(); }

    // The track's length in frames, gaps included; 0 for a track without a format.
    int GetTotalLength() const;
    // Closes the track's segment files (they open again on demand).
    void CloseFiles();
    // The end of a playback run.
    void Stop() { CloseFiles(); }
    // Armed for recording, or the target of a bounce: left out of the song's length.
    bool IsRecording() const { return Recording.load(); }

    // The track's read/write cache, in bytes (rounded up to a multiple of 1024).
    void SetCache(int bytes);
    int GetCacheSize() const;

    // Number of live channels.
    static char Antal;
    // The engine's one mixing buffer: at least BufferSize frames of two signed 16-bit values,
    // left then right. Every track is read, widened and scaled into it before it is added into
    // its card's output buffer.
    static short* Data;
    // The step of a drawn fade.
    static unsigned int FadeResolution_ms;

    // Makes Data hold at least bytes bytes (it never shrinks). Called when the buffer grows,
    // while the transport is stopped.
    static bool GrowData(size_t bytes);

    std::string Name;
    std::list<std::string> Plugins;

  protected:
    // The event in effect at frame: pos = the last event reached walking from the head while
    // the next event's time is <= frame. Returns the time of the event after pos, or -1 when
    // pos is the last event. The caller holds the program lock.
    int FindPrevEvent(int frame, bool isVolume, EventPosition& pos) const;
    // Both programs; returns the earlier of the two next times (unsigned: -1 loses).
    int FindPrevEvent(int frame, EventPosition& volumePos, EventPosition& panPos) const;

    // The gain pass of Mix on Data alone, for the buffer starting at frame start.
    void VolMix(uint32_t start);
    // Player thread: posts the level of Data for the meter.
    void PostLevel();

  private:
    friend class PalkMixer;
    friend class SoundCard;

    void Init(const SongTables::SongEvents& events);
    static void QueueIfDamaged(const SongTables::SongEvents& events);

    // The chain. The GUI thread is its only writer: it builds a new chain and swaps it in under
    // fxLock_, which the player holds while it runs the chain, so that a plug-in taken off (or
    // unloaded) is never running for this track once the swap has returned.
    // Replaces the track's effects with names (a song's), telling the plug-ins: the old ones
    // are removed, the new ones added. Names whose plug-in is not loaded stay in Plugins, so
    // that a save keeps them, and are listed in missing.
    void ReplacePlugins(const std::list<std::string>& names, std::list<std::string>& missing);
    // Puts every name of Plugins whose plug-in is loaded back into the chain, telling each
    // (after the plug-ins were loaded again).
    void AttachPlugins();
    // Empties the chain without telling the plug-ins (they are about to be unloaded).
    void DetachPlugins();
    // Tells every plug-in of the chain that a run starts at frame position.
    void ResetPlugins(int64_t position);
    void SwapChain(std::vector<QuibFXEntry>& chain);
    // Adds the plug-in of name to the end of chain after telling it; false when it refuses.
    bool AddToChain(QuibFXEntry plugin, std::vector<QuibFXEntry>& chain);
    // Player thread: runs the chain on Data for the buffer starting at frame start.
    void RunChain(uint32_t start);
    // Forgets the previous song's pieces (their files stay where they are).
    void DetachAudio();

    EventList& Program(bool isVolume) { return isVolume ? VolumeEvents : PanEvents; }
    const EventList& Program(bool isVolume) const { return isVolume ? VolumeEvents : PanEvents; }
    void ResetProgram(bool isVolume);
    void ClearRange(unsigned int from_ms, unsigned int to_ms, bool isVolume);
    // The cursor look-up Mix uses: the same result as FindPrevEvent, walking on from where the
    // previous look-up of this run ended.
    int CursorFind(uint32_t frame, EventPosition& volumePos, EventPosition& panPos);
    static int FindFrom(const EventList& program, int frame, EventPosition& pos);

    SuperWaveFile* File = nullptr;
    std::atomic<bool> Recording{false};
    std::atomic<bool> Disabled{false};
    std::atomic<char> CardIndex{0};
    std::atomic<float> level_{0.0f};

    std::mutex fxLock_;
    std::vector<QuibFXEntry> fxChain_;
    std::atomic<bool> fxChainEmpty_{true};
    std::atomic<bool> fxOn_{true};

    // Guards the four lists and the cursors.
    mutable std::mutex programLock_;
    EventList PanEvents;
    EventList RealtimePanEvents;
    EventList VolumeEvents;
    EventList RealtimeVolumeEvents;
    std::atomic<float> RealtimePan{0.0f};
    std::atomic<float> RealtimeVolume{1.0f};
    std::atomic<bool> RealtimeActive{false};
    std::atomic<float> OffsetPan{0.0f};
    std::atomic<float> OffsetVolume{1.0f};
    int8_t Index = -1;

    // Where the player's last look-up ended; invalid after an edit or a jump back.
    uint64_t programVersion_ = 0;
    uint64_t cursorVersion_ = ~uint64_t{0};
    uint32_t cursorFrame_ = 0;
    EventPosition volumeCursor_ = 0;
    EventPosition panCursor_ = 0;

    static size_t dataBytes_;
};
