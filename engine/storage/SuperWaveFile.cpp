#include "storage/SuperWaveFile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "core/EngineStatics.h"
#include "core/ErrorQueue.h"
#include "core/Log.h"
#include "core/OrvellError.h"
#include "platform/os/Files.h"
#include "platform/os/PageBuffer.h"
#include "platform/wave/WaveApi.h"
#include "storage/PeakBuilder.h"
#include "storage/SampleKernels.h"
#include "storage/ScratchBuffer.h"
#include "storage/SegmentReader.h"
#include "storage/TrackFormat.h"

namespace {

// Cache transfers, flushes and seeks keep to this grain (a multiple of every sector size the
// unbuffered path meets).
constexpr int64_t TransferGrain = 1024;

int64_t RoundUp(int64_t value, int64_t unit) {
    if (value >= 0)
        return (value + unit - 1) / unit * unit;
    return -((-value) / unit * unit);
}

uint8_t FillByteFor(const WaveFormat& format) {
    return format.BitsPerSample == 8 ? 0x7F : 0;
}

void Put16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
    Put16(at, value & 0xFFFF);
    Put16(at + 2, value >> 16);
}

}  // namespace

SuperWaveFile::SuperWaveFile() : Cache(std::make_unique<PageBuffer>()) {
    CreateFlags = FileSequentialScan;
    ResizeScratchBuffer(static_cast<size_t>(BufferSize) * 4);
    if (CacheSize != 0) {
        SetCacheSize(CacheSize);
        CreateFlags = FileSequentialScan | FileWriteThrough | FileNoBuffering;
    }
}

SuperWaveFile::~SuperWaveFile() = default;

bool SuperWaveFile::HasCache() const {
    return Cache->Data() != nullptr;
}

void SuperWaveFile::Open(const std::string& baseName) {
    FreePeaks();
    try {
        LoadMetafile(baseName);
    } catch (...) {
        ReadHeaderFile(baseName);
        throw;
    }
    ReadHeaderFile(baseName);
}

void SuperWaveFile::ReadHeaderFile(const std::string& baseName) {
    const std::string name = HeaderFileName(baseName);
    StorageFile file;
    if (!file.OpenRead(name.c_str(), FileSequentialScan))
        return;
    uint8_t bytes[HeaderFileBytes];
    size_t got = file.ReadAt(0, bytes, sizeof bytes);
    file.Close();
    if (got < sizeof bytes) {
        QueueEngineError(DisplayedError("The track file " + name +
                                        " is shorter than 18 bytes; the track opens without "
                                        "a format."));
        return;
    }
    WaveFormat format;
    std::memcpy(&format, bytes, sizeof format);
    if (!IsEmptyFormat(format)) {
        std::string problem = FormatProblem(format);
        if (!problem.empty()) {
            // The song still opens; the user learns why this track has no format.
            QueueEngineError(DisplayedError("The track file " + name +
                                            " holds an unusable format (" + problem +
                                            "); the track opens without it."));
            return;
        }
    }
    Format = format;
    FillByte = FillByteFor(Format);
}

bool SuperWaveFile::WriteHeaderFile() {
    return ReplaceFileAtomically(HeaderFileName(Name), &Format, sizeof Format);
}

void SuperWaveFile::Save() {
    Flush();
    SyncHandles();
    notDurable_ = 0;
    if (!WriteHeaderFile())
        throw DisplayedError("Can't open metafile!");
    // The audio changed: the level array is out of date. It is only marked here (Save also
    // runs on a recorder thread); the GUI thread frees it.
    peaksStale_.store(true);
    SaveMetafile();
}

void SuperWaveFile::SegmentCreated() {
    SegmentedFile::SegmentCreated();
    if (!Name.empty() && !IsEmptyFormat(Format) && !WriteHeaderFile())
        WriteLog("can't write header file " + HeaderFileName(Name));
}

void SuperWaveFile::SetFormat(const WaveFormat& format) {
    if (std::memcmp(&format, &Format, sizeof format) == 0)
        return;
    std::string problem = FormatProblem(format);
    if (!problem.empty())
        throw DisplayedError("Unsupported track format: " + problem);
    if (HasData())
        throw DisplayedError("Can't change format, file is not empty!");
    Format = format;
    FillByte = FillByteFor(Format);
}

void SuperWaveFile::SeekFrames(int64_t frame) {
    if (cacheHoldsWrites_)
        Flush();
    CachePrimed = false;
    CacheFill = 0;
    notDurable_ = 0;
    lastAppend_ = 0;
    const int64_t bytesPerFrame = int64_t{Format.Channels} * Format.BitsPerSample / 8;
    constexpr int64_t limit = INT32_MAX / TransferGrain * TransferGrain;
    int64_t position =
        RoundUp(std::clamp<int64_t>(frame, -limit, limit) * bytesPerFrame, TransferGrain);
    Position = static_cast<int32_t>(std::clamp(position, -limit, limit));
}

void SuperWaveFile::SetCacheSize(int32_t bytes) {
    Flush();
    const auto rounded = static_cast<uint32_t>(bytes <= 0 ? 0 : RoundUp(bytes, TransferGrain));
    Cache->Free();
    CacheLength = rounded;
    CacheFill = 0;
    CachePrimed = false;
    cacheHoldsWrites_ = false;
    if (rounded != 0 && !Cache->Allocate(rounded))
        throw DisplayedError("Out of memory for wavefiles!");
}

bool SuperWaveFile::FillFromCache(uint8_t* out, size_t bytes) {
    size_t done = 0;
    if (CachePrimed) {
        done = std::min<size_t>(bytes, CacheLength - CacheFill);
        std::memcpy(out, Cache->Data() + CacheFill, done);
        CacheFill += static_cast<uint32_t>(done);
    }
    if (done == bytes)
        return CacheValid;
    // A buffer that starts in one cache block and ends in the next has found data when either
    // block has: the tail of a take must not turn silent because the next block is a gap.
    // One engine buffer may also be longer than the whole cache: refill as often as it takes.
    bool found = done > 0 && CacheValid;
    while (done < bytes) {
        CachePrimed = true;
        CacheValid = Read(Cache->Data(), CacheLength);
        found = found || CacheValid;
        size_t part = std::min<size_t>(bytes - done, CacheLength);
        std::memcpy(out + done, Cache->Data(), part);
        CacheFill = static_cast<uint32_t>(part);
        done += part;
    }
    return found;
}

bool SuperWaveFile::ReadMixBuffer(short* data) {
    // A track being written is the recorder's; its cache holds unwritten bytes.
    if (!data || Writing.load(std::memory_order_acquire) || cacheHoldsWrites_)
        return false;
    const TrackFormatKind kind = KindOfFormat(Format);
    if (kind == TrackFormatKind::None)
        return false;
    const size_t frames = BufferSize;
    const size_t bytes = frames * BytesPerFrame(kind);
    uint8_t* scratch = ScratchBufferData();
    if (!scratch || ScratchBufferSize() < bytes)
        return false;

    // Stereo 16-bit is the mixing format: with a cache it goes straight from the cache into
    // data, without a stop in the scratch block.
    if (kind == TrackFormatKind::Stereo16 && Cache->Data())
        return FillFromCache(reinterpret_cast<uint8_t*>(data), bytes);
    bool found = Cache->Data() ? FillFromCache(scratch, bytes) : Read(scratch, bytes);
    if (!found)
        return false;

    switch (kind) {
        case TrackFormatKind::Stereo16:
            std::memcpy(data, scratch, bytes);
            break;
        case TrackFormatKind::Stereo8:
            SampleKernels::Widen8(data, scratch, 2 * frames);
            break;
        case TrackFormatKind::Mono16:
            SampleKernels::Mono16ToStereo(data, scratch, frames);
            break;
        case TrackFormatKind::Mono8:
            SampleKernels::Mono8ToStereo(data, scratch, frames);
            break;
        case TrackFormatKind::None:
            return false;
    }
    return true;
}

void SuperWaveFile::AppendRecorded(const wave::WaveHeader& header) {
    CachePrimed = false;
    const uint32_t bytes = std::min(header.BytesRecorded, header.BufferLength);
    AppendBytes(header.Data, bytes);
    notDurable_ += bytes;
    lastAppend_ = bytes;
}

void SuperWaveFile::KeepDurable() {
    const uint64_t second = uint64_t{SampleRate} * std::max<uint16_t>(Format.BlockAlign, 1);
    if (notDurable_ == 0 || notDurable_ + lastAppend_ <= second)
        return;
    if (Cache->Data() && cacheHoldsWrites_ && CacheFill > 0) {
        // The cache's bytes go to their place now and stay in the cache: when it is full it is
        // written whole over them, and the position moves on then.
        WriteAt(Position, Cache->Data(), CacheFill);
        ThrowIfWriteFailed();
    }
    SyncHandles();
    notDurable_ = 0;
}

void SuperWaveFile::WriteCache(size_t bytes) {
    Write(Cache->Data(), bytes);
    CacheFill = 0;
    cacheHoldsWrites_ = false;
    ThrowIfWriteFailed();
}

void SuperWaveFile::ThrowIfWriteFailed() {
    if (const int error = TakeWriteError())
        throw DisplayedError("Can't write the track file " + Name + ": " + std::strerror(error));
}

void SuperWaveFile::DropPendingWrites() {
    if (cacheHoldsWrites_)
        CacheFill = 0;
    cacheHoldsWrites_ = false;
    CachePrimed = false;
    TakeWriteError();
}

void SuperWaveFile::AppendBytes(const void* data, size_t count) {
    const auto* in = static_cast<const uint8_t*>(data);
    if (!in || count == 0)
        return;
    if (!Cache->Data()) {
        Write(in, count);
        ThrowIfWriteFailed();
        return;
    }
    if (!cacheHoldsWrites_) {
        // Whatever the cache held was read ahead; the writes start at the position.
        CachePrimed = false;
        CacheFill = 0;
    }
    while (count > 0) {
        size_t part = std::min<size_t>(count, CacheLength - CacheFill);
        std::memcpy(Cache->Data() + CacheFill, in, part);
        CacheFill += static_cast<uint32_t>(part);
        cacheHoldsWrites_ = true;
        in += part;
        count -= part;
        if (CacheFill == CacheLength)
            WriteCache(CacheLength);
    }
}

void SuperWaveFile::Flush() {
    if (!cacheHoldsWrites_ || CacheFill == 0 || !Cache->Data())
        return;
    auto padded = static_cast<size_t>(RoundUp(CacheFill, TransferGrain));
    std::memset(Cache->Data() + CacheFill, FillByte, padded - CacheFill);
    WriteCache(padded);
}

void SuperWaveFile::FinishRecording() {
    if (Cache->Data() && cacheHoldsWrites_ && CacheFill > 0) {
        // The take ends on a whole number of buffer lengths (taken as bytes) where the cache
        // allows it; Save's Flush then rounds what is left up to 1024 bytes.
        const int64_t unit = BufferSize != 0 ? BufferSize : TransferGrain;
        auto padded =
            static_cast<uint32_t>(std::min<int64_t>(RoundUp(CacheFill, unit), CacheLength));
        // Silence in the track's format: 0x00 would be full scale negative for 8-bit audio.
        std::memset(Cache->Data() + CacheFill, FillByte, padded - CacheFill);
        CacheFill = padded;
        if (CacheFill == CacheLength)
            WriteCache(CacheLength);
    }
    CloseHandles();
    Save();
    CloseHandles();
}

void SuperWaveFile::ExportWave(const std::string& path) {
    const auto total = static_cast<uint32_t>(GetTotalBytes());
    uint8_t header[WaveFileHeaderBytes];
    std::memcpy(header, "RIFF", 4);
    Put32(header + 4, 38 + total);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    Put32(header + 16, 18);
    Put16(header + 20, Format.FormatTag);
    Put16(header + 22, Format.Channels);
    Put32(header + 24, SampleRate);
    Put32(header + 28, Format.BlockAlign * SampleRate);
    Put16(header + 32, Format.BlockAlign);
    Put16(header + 34, Format.BitsPerSample);
    Put16(header + 36, 0);
    std::memcpy(header + 38, "data", 4);
    Put32(header + 42, total);
    WriteRealFile(path, header, sizeof header);
}

void SuperWaveFile::BuildPeaks(int32_t resolution) {
    if (Writing.load(std::memory_order_acquire))
        return;
    if (resolution < 1) {
        FreePeaks();
        return;
    }
    if (Peaks && resolution == PeakResolution && !peaksStale_.load())
        return;
    FreePeaks();
    PeakResolution = resolution;

    const int64_t total = GetTotalBytes();
    const int64_t chunk = BufferSize != 0 ? int64_t{BufferSize} * 4 : 4096;
    const TrackFormatKind kind = KindOfFormat(Format);
    int64_t count = 0;
    if (kind != TrackFormatKind::None) {
        count = RoundUp(total, chunk) / resolution;
        if (Format.Channels == 2)
            count /= 2;
        if (Format.BitsPerSample == 16)
            count /= 2;
    }
    Peaks.reset(new (std::nothrow) uint8_t[static_cast<size_t>(count) + 1]());
    if (!Peaks)
        throw InternalError("Can't allocate memory for peak buffer.");
    PeakCount = static_cast<int32_t>(count);
    if (total <= 0 || kind == TrackFormatKind::None)
        return;

    // A block of its own: the player may be using the scratch block right now.
    PageBuffer block;
    if (!block.Allocate(static_cast<size_t>(chunk))) {
        FreePeaks();
        PeakResolution = resolution;
        throw InternalError("Can't allocate memory for peak buffer.");
    }
    SegmentReader reader(*this);
    PeakBuilder builder(kind, resolution, Peaks.get(), static_cast<size_t>(count) + 1);
    for (int64_t processed = 0; processed < total; processed += chunk) {
        reader.ReadAt(processed, block.Data(), static_cast<size_t>(chunk));
        builder.Feed(block.Data(), static_cast<size_t>(chunk));
    }
}

void SuperWaveFile::GetPeaks(uint8_t*& peaks, int32_t& count) const {
    if (!Peaks || peaksStale_.load()) {
        peaks = nullptr;
        count = 0;
        return;
    }
    peaks = Peaks.get();
    count = PeakCount;
}

void SuperWaveFile::FreePeaks() {
    peaksStale_.store(false);
    Peaks.reset();
    PeakCount = 0;
    PeakResolution = 0;
}
