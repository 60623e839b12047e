#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "QuibFX.h"
#include "core/OrvellError.h"
#include "core/PalkExport.h"

class Channel;
class Event;
class MidiFollower;
namespace SongTables {
enum class TableState;
}
class SoundCard;

// A plug-in's one entry point: command code, two arguments, a result.
using QuibFXFunction = QuibFXEntry;

// The engine: settings, sound cards, tracks, transport and plug-ins. There is exactly one,
// created when the library is loaded and reached through Mixer. Unless a member says
// otherwise, every call is made on the GUI thread.
class PALKENG_API PalkMixer {
  public:
    // The argument is not used; the library passes 3.
    explicit PalkMixer(char unused);
    ~PalkMixer();
    PalkMixer(const PalkMixer&) = delete;
    PalkMixer& operator=(const PalkMixer&) = delete;

    // The engine lock: held by the player for one whole buffer cycle and by Stop.
    void Lock() { engineLock_.lock(); }
    void Unlock() { engineLock_.unlock(); }

    // Settings.
    void ReadSettings();
    void SaveSettings();

    // Buffers and rate. A buffer count outside 1..127 or a size that rounds below 1024 frames
    // keeps the current value.
    void SetBufferInfo(int count, int size, int cache);
    void GetBufferInfo(int& count, int& size, int& cache);
    bool SetSampleRate(unsigned int rate);
    // Output buffers per card.
    int BufferCount() const { return bufferCount_; }
    long GetSampleRate();

    // Cards.
    int AddCard(char deviceId);
    void RemoveSoundcards();
    void GetActiveSoundcards(std::list<std::string>& names);
    SoundCard* GetSoundcard(char index);
    SoundCard* GetSoundcard(int index);

    // Tracks.
    Channel* AddChannel();
    void AddChannel(Channel* channel);
    Channel* GetChannel(char index);

    // Transport. Play starts a run from PlayPos on every open card (throws the card's error,
    // or DisplayedError when no card is open); Stop ends it (also one that ended by itself
    // after a failure, whose error was queued) and rounds the position down to 1024 frames.
    bool IsPlaying_b() const { return playing.load(); }
    void Play();
    void Stop();
    // Records on every armed card: moves to where the lag compensation allows, starts playback
    // when stopped, and starts the takes at PlayPos + LagTime. A card that cannot start its take
    // stops the whole run (the other takes are kept) and Rec throws its error.
    void Rec();
    bool IsRecording_b() const { return recording.load(); }
    // While playing, a move is a Stop and a Play from the new place.
    void SetPos(int frames);
    // Rounded down to a multiple of 1024 frames.
    void SetPos_ms(unsigned long ms);
    unsigned long GetPos_ms();
    // The longest track not armed for recording nor bouncing, in milliseconds.
    int GetSongLength_ms();
    // The standard MIDI file that plays along from the next Play on (an empty name: none). It
    // starts at the position heard when the cards started and stops with the audio; a file
    // that cannot be played (or a "No" when there is no MIDI mapper) leaves the audio playing
    // alone.
    void SetMidiFile(std::string name);
    // Bounce preparation: the next run mixes into track (through card) instead of playing.
    // Throws DisplayedError "You selected an invalid sound card." (or an invalid track).
    void BuildMix(int card, int track);

    // Songs. A song is a folder, made the current folder while it is open; the tracks are the
    // ones the engine has. NewProject creates the folder (DisplayedError "Can't create
    // directory:" + name when it cannot, also when it exists), makes it current and attaches
    // every track there, named by its index. LoadProject makes the folder current (DisplayedError
    // "Can't open directory:" + name, nothing changed, when it cannot), tells the plug-ins, and
    // loads the tracks' names, formats, audio and programs; a damaged file queues an error and
    // the rest of the song still opens. Both stop a run first. SaveProject rewrites the song's
    // tables and info file so that an interruption leaves the previous version whole, then
    // tells the plug-ins; without an open song it does nothing.
    void NewProject(const char* name);
    void LoadProject(const char* name);
    void SaveProject();

    // Plug-ins.
    void LoadPlugins(std::string path);
    void GetPluginNames(std::vector<std::string>& names);
    QuibFXFunction GetPlugin(const char* name);
    // The plug-in GetPlugin finds, or null. A name of the 20 bytes a song stores may be the
    // start of a longer name: the first plug-in whose name starts with it then.
    QuibFXFunction FindPlugin(const char* name);
    void FreePlugins();

    // Shutdown: stops, saves the settings and releases cards, tracks and plug-ins. Does
    // nothing once it has succeeded.
    void Terminate();

    // Takes the oldest queued error into error (which keeps its class); false when none.
    bool GetLastError(OrvellError& error);
    // Whether an error is queued: lets a caller that must not log (every error object logs
    // when it goes) skip making a receiver when there is nothing to receive.
    bool HasQueuedErrors();

    // The GUI reads these directly.
    std::atomic<bool> playing{false};
    std::string MidiFile;
    std::string ProgramDirectory;

  protected:
    QuibFXFunction LoadPlugin(const std::string& file);

  private:
    friend void QueueEngineError(const OrvellError& error);

    void Init(char count, char preMixCount);
    void LoadChannels();
    // Gives channel the effects the song's table lists for it; table is the table's state so
    // far (a damaged table is reported once, and not read again).
    void RestorePlugins(Channel& channel, SongTables::TableState& table);
    // Sends every loaded plug-in one command.
    void TellPlugins(unsigned long command, unsigned long first, unsigned long second);
    // The one place a buffer size is applied: the engine's BufferSize, the mixing block, the
    // scratch block and every card's buffers. Throws OrvellError "Out of memory" (nothing
    // changed then).
    void ApplyBufferSize(uint32_t frames);
    // Queues an error for the GUI (from any thread).
    void QueueError(const OrvellError& error);
    void ReleaseCardsTracksAndPlugins();

    // The player thread and its parts.
    void Player();
    void RunPlayer(bool& started);
    void MixTracks();
    void ThrowIfADeviceFailed();
    void EndRunAfterFailure(std::exception_ptr error, bool started);
    // StopPlayback on count cards, keeping only the first error.
    static void StopCards(SoundCard* const* cards, size_t count, std::exception_ptr& firstError);
    // Changing cards or buffers: refused while playing; a run that ended by itself is
    // finished first.
    void EndRunBeforeChange();

    static constexpr int MaxPlugins = 100;

  public:
    // Buffer sizes the engine accepts, in frames: a card buffer (frames * 4 bytes, rounded
    // down to 1024) must hold at least 1024 bytes.
    static constexpr uint32_t MinBufferFrames = 256;
    static constexpr uint32_t MaxBufferFrames = 1u << 20;
    static constexpr int MaxBufferCount = 127;
    static bool IsUsableBufferSize(uint32_t frames);

  private:
    std::mutex engineLock_;
    std::atomic<bool> recording{false};
    int8_t bufferCount_ = 4;
    int8_t preMixCount_ = 3;
    std::vector<Channel*> tracks_;
    QuibFXFunction plugins_[MaxPlugins] = {};
    void* pluginModules_[MaxPlugins] = {};
    std::mutex errorQueueLock_;
    std::list<OrvellError> ErrorQueue;
    std::vector<SoundCard*> cards_;
    int pluginCount_ = 0;
    std::vector<SoundCard*> activeCards_;
    std::unique_ptr<Event> playerStarted_;
    std::unique_ptr<Event> playerEnded_;
    std::thread player_;
    std::unique_ptr<MidiFollower> midi_;
    // The tracks of this run, fixed when it starts: a track added meanwhile waits for the next.
    std::vector<Channel*> runTracks_;
    // What ended a run before the player signalled its start (Play throws it).
    std::exception_ptr startError_;
    bool configured_ = false;  // ReadSettings ran
    bool songOpen_ = false;    // NewProject or LoadProject made a song folder current
    bool terminated_ = false;
};

// The one engine object.
PALKENG_API extern PalkMixer* Mixer;
