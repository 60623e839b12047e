#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/PalkExport.h"
#include "platform/wave/WaveFormat.h"
#include "storage/SegmentedFile.h"

class PageBuffer;
namespace wave {
struct WaveHeader;
}

// A track's audio: its segmented stream of PCM frames in the track's own format (mono or
// stereo, unsigned 8-bit or signed 16-bit), the format kept in an 18-byte header file
// (baseName + "_waveheader"), a read-ahead / write-behind cache, the widening of one engine
// buffer into the 16-bit stereo mixing format, WAVE export and the waveform view's level array.
//
// With a cache every transfer the cache makes is a multiple of 1024 bytes at a multiple of
// 1024, from page-aligned memory, so the segment files are written unbuffered (O_DIRECT) where
// the file system allows it; reads go through the page cache (see StorageFile).
//
// Threads: ReadMixBuffer runs on the player thread; AppendRecorded and FinishRecording (and
// Save at the end of a bounce) on a card's recorder thread; everything else on the GUI thread.
// State keeps them apart: the player never reads a track that is Writing, and edits happen
// while the transport is stopped. Peak building reads through descriptors and a buffer of its
// own, so it may run while the player reads the same track.
class PALKENG_API SuperWaveFile : public SegmentedFile {
  public:
    SuperWaveFile();
    ~SuperWaveFile() override;

    // Attaches to the track baseName: its metafile and segments, then its header file. A
    // missing header file leaves Format as it is; so does one that is shorter than 18 bytes or
    // holds a format the engine cannot play (the reason is queued as an error for the GUI, and
    // the track opens without it). Throws what LoadMetafile throws (the header file is still
    // read).
    void Open(const std::string& baseName);
    // Writes the cache's pending bytes, syncs the written segments, rewrites the header file
    // and the metafile (both atomically). Throws DisplayedError "Can't open metafile!" when the
    // header file cannot be written, StorageError "can't open metafile!" for the metafile.
    void Save();
    // Sets the track format. The same 18 bytes again change nothing. Throws DisplayedError when
    // the format is not PCM, 8 or 16 bits, mono or stereo (the text says which), and
    // "Can't change format, file is not empty!" when the track holds segments.
    void SetFormat(const WaveFormat& format);
    // Moves the read/write position to frame (rounded up to a multiple of 1024 bytes) and
    // empties the cache.
    void SeekFrames(int64_t frame);

    // Player thread: reads the next engine buffer (BufferSize frames) of the track and widens
    // it into data (BufferSize frames of 16-bit stereo). False when no byte of it came from a
    // segment file (the track adds nothing), when the track is Writing, has no usable format,
    // or there is no scratch block. Never allocates.
    bool ReadMixBuffer(short* data);

    // Appends one recorded (or bounced) buffer at the position. The appends (and Flush, Save,
    // KeepDurable) throw DisplayedError when the bytes could not be written (disk full).
    void AppendRecorded(const wave::WaveHeader& header);
    // Recorder thread, after each AppendRecorded of a take: keeps the take durable as it is
    // recorded. Before the audio not yet on the disk could exceed one second (judged by the
    // last append), writes what the cache holds (the take goes on) and syncs the written
    // segments. The player thread never calls it: a bounce is made durable when it is saved.
    void KeepDurable();
    // Appends count bytes at the position, through the cache when there is one.
    void AppendBytes(const void* data, size_t count);
    // Writes the bytes waiting in the cache, padded with the fill byte to a multiple of 1024.
    void Flush();
    // After a write failed: forgets the bytes waiting in the cache, so that the track can be
    // finished and saved with what reached the disk.
    void DropPendingWrites();
    // Ends a recording: pads the waiting bytes with the fill byte (silence in the track's
    // format) to a multiple of the buffer length (within the cache), closes the segment files
    // and saves the track.
    void FinishRecording();
    // Gives the track a cache of bytes rounded up to a multiple of 1024 (0: none). Throws
    // DisplayedError "Out of memory for wavefiles!" (CacheLength then keeps the new size and
    // there is no cache).
    void SetCacheSize(int32_t bytes);
    // Writes the track as a RIFF WAVE file with a 46-byte header at the engine's sample rate.
    // Throws StorageError as WriteRealFile does.
    void ExportWave(const std::string& path);

    // Builds the level array at resolution frames per byte (see PeakBuilder), unless one built
    // at the same resolution since the audio last changed exists. Throws InternalError
    // "Can't allocate memory for peak buffer.". A resolution below 1 builds nothing. Does
    // nothing while the track is Writing.
    void BuildPeaks(int32_t resolution);
    // The array (owned by the track, valid until the next BuildPeaks, FreePeaks or Open) and
    // its length; null and 0 when there is none or the audio changed since it was built.
    void GetPeaks(uint8_t*& peaks, int32_t& count) const;
    void FreePeaks();

    // The track format: read it, change it through SetFormat.
    WaveFormat Format;
    // Size of the cache in bytes (a multiple of 1024); 0 means no cache.
    uint32_t CacheLength = 0;
    // Set by the sound card while it records or bounces into this track: the player then
    // leaves the track alone.
    std::atomic<bool> Writing{false};

    uint32_t GetCacheFill() const { return CacheFill; }
    bool IsCachePrimed() const { return CachePrimed; }
    bool HasCache() const;
    int32_t GetPeakResolution() const { return PeakResolution; }

    static std::string HeaderFileName(const std::string& baseName) {
        return baseName + "_waveheader";
    }
    static constexpr size_t HeaderFileBytes = sizeof(WaveFormat);
    static constexpr size_t WaveFileHeaderBytes = 46;

  protected:
    // Also writes the header file, so that a take that survives a crash keeps its format.
    void SegmentCreated() override;

  private:
    // Fills out with the next bytes of the stream through the read-ahead cache.
    bool FillFromCache(uint8_t* out, size_t bytes);
    void ReadHeaderFile(const std::string& baseName);
    bool WriteHeaderFile();
    void WriteCache(size_t bytes);
    // A write that did not reach the disk is an error, not a silent loss: DisplayedError
    // naming the file and the reason.
    void ThrowIfWriteFailed();

    // While writing: bytes of Cache not yet written; while reading: bytes of Cache consumed.
    uint32_t CacheFill = 0;
    // Whether the last refill found any byte in a segment.
    bool CacheValid = false;
    // Cache holds read-ahead data of the current playback run.
    bool CachePrimed = false;
    // Cache holds recorded bytes that are not on disk yet.
    bool cacheHoldsWrites_ = false;
    std::unique_ptr<PageBuffer> Cache;
    // Bytes appended since the take was last made durable, and the size of the last append.
    uint64_t notDurable_ = 0;
    uint64_t lastAppend_ = 0;

    std::unique_ptr<uint8_t[]> Peaks;
    int32_t PeakResolution = 0;
    int32_t PeakCount = 0;
    // Set (from any thread) when the audio changed; the GUI thread frees the array.
    std::atomic<bool> peaksStale_{false};
};
