// The track file: its format and header file, mixing reads, recording, export, the level
// array, and a take made durable while it is recorded.
#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "StorageFixture.h"
#include "platform/os/Files.h"
#include "platform/wave/WaveApi.h"
#include "storage/SuperWaveFile.h"

namespace {

std::string Header(const WaveFormat& format) {
    return std::string(reinterpret_cast<const char*>(&format), sizeof format);
}

class SuperWaveFileTest : public StorageTest {};

TEST_F(SuperWaveFileTest, UnplayableFormatsAreRefusedBySetFormatAndIgnoredInHeaderFiles) {
    SuperWaveFile track;
    track.SetFormat(TrackFormat(2, 16));
    WaveFormat notPcm = TrackFormat(2, 16);
    notPcm.FormatTag = 3;
    WaveFormat misaligned = TrackFormat(2, 16);
    misaligned.BlockAlign = 3;
    for (const auto& [format, says] : {std::pair{notPcm, "format tag 3 is not PCM"},
                                       {TrackFormat(6, 16), "6 channels"},
                                       {TrackFormat(0, 16), "0 channels"},
                                       {TrackFormat(2, 24), "24 bits per sample"},
                                       {misaligned, "block align 3 for 2 channels of 16 bits"}}) {
        EXPECT_NE(ThrownText([&] { track.SetFormat(format); }).find(says), std::string::npos)
            << says;
    }
    EXPECT_EQ(Header(track.Format), Header(TrackFormat(2, 16)));

    // A damaged header file does not stop the track from opening; the user is told.
    TakeQueuedErrors();
    WriteWholeFile("channel1__waveheader", Header(TrackFormat(2, 16)).substr(0, 10));
    WriteWholeFile("channel2__waveheader", Header(TrackFormat(2, 24)));
    WriteWholeFile("channel3__waveheader", std::string(18, '\0'));  // the no-format state
    WriteWholeFile("channel4__waveheader", Header(misaligned));
    for (const auto& [name, channels] :
         {std::pair{"channel1_", 1}, {"channel2_", 1}, {"channel3_", 0}, {"channel4_", 1}}) {
        SuperWaveFile opened;
        opened.SetFormat(TrackFormat(1, 16));
        opened.Open(name);
        EXPECT_EQ(opened.Format.Channels, channels) << name;
    }
    EXPECT_EQ(TakeQueuedErrors(),
              (std::vector<std::string>{
                  "The track file channel1__waveheader is shorter than 18 bytes; the "
                  "track opens without a format.",
                  "The track file channel2__waveheader holds an unusable format (24 bits "
                  "per sample (only 8 or 16)); the track opens without it.",
                  "The track file channel4__waveheader holds an unusable format (block "
                  "align 3 for 2 channels of 16 bits); the track opens without it."}));
}

// What ReadMixBuffer must make of one engine buffer's bytes of a track in format.
std::vector<int16_t> Widened(const WaveFormat& format, const Bytes& bytes) {
    std::vector<int16_t> out;
    for (size_t i = 0; i < bytes.size(); i += format.BitsPerSample / 8) {
        auto sample = static_cast<int16_t>(format.BitsPerSample == 16 ? bytes[i] | bytes[i + 1] << 8
                                                                      : (bytes[i] - 128) * 256);
        out.insert(out.end(), format.Channels == 1 ? 2 : 1, sample);
    }
    return out;
}

// Channels, bits per sample, cache bytes.
class ReadMixBufferTest : public StorageTest,
                          public ::testing::WithParamInterface<std::tuple<int, int, int>> {};

TEST_P(ReadMixBufferTest, WidensEveryBufferIntoStereo16AcrossCacheRefills) {
    const auto [channels, bits, cache] = GetParam();
    BufferSize = 1000;  // buffers that do not divide the 1024-byte cache blocks
    CacheSize = cache;
    const WaveFormat format = TrackFormat(channels, bits);
    const int64_t bufferBytes = BufferSize * format.BlockAlign;
    SuperWaveFile track;
    track.Open("channel1_");
    track.SetFormat(format);
    // Data, a gap, data: buffers and cache refills fall at every kind of boundary.
    const Bytes audio = Pattern(7, 0, static_cast<size_t>(bufferBytes * 7));
    track.WriteAt(0, audio.data(), static_cast<size_t>(bufferBytes * 7 / 2));
    track.WriteAt(bufferBytes * 5, &audio[bufferBytes * 5],
                  static_cast<size_t>(bufferBytes * 5 / 4));
    track.Save();
    // The bytes as a plain stream reads them (the model test vouches for that).
    TestStream plain;
    plain.SetFill(track.GetFillByte());
    plain.LoadMetafile("channel1_");

    std::vector<int16_t> data(BufferSize * 2);
    Bytes bytes(static_cast<size_t>(bufferBytes));
    for (int64_t startFrame : {0, 300}) {
        track.SeekFrames(startFrame);
        int64_t at = (startFrame * format.BlockAlign + 1023) / 1024 * 1024;
        for (int k = 0; k < 8; ++k, at += bufferBytes) {
            bool touchesData = plain.ReadAt(at, bytes.data(), bytes.size());
            bool found = track.ReadMixBuffer(data.data());
            // With a cache, a buffer of silence still counts when its cache block held data.
            EXPECT_TRUE(found || !touchesData) << "buffer " << k;
            if (found) {
                ASSERT_EQ(data, Widened(format, bytes)) << "buffer " << k << " from " << startFrame;
            }
        }
    }
    track.SeekFrames(track.GetTotalBytes());
    EXPECT_FALSE(track.ReadMixBuffer(data.data()));
    track.SeekFrames(0);
    track.Writing = true;
    EXPECT_FALSE(track.ReadMixBuffer(data.data()));
}

INSTANTIATE_TEST_SUITE_P(AllFormatsAndCaches, ReadMixBufferTest,
                         ::testing::Combine(::testing::Values(1, 2), ::testing::Values(8, 16),
                                            ::testing::Values(0, 1024, 5000, 102400)));

TEST_F(SuperWaveFileTest, TakesStartOn1024BytesEndPaddedAndKeepTheirFormat) {
    // BufferSize 2048 taken as bytes, cache 8192: 3000 -> 4096; 7000 -> 8192 (the whole
    // cache); 10000 -> 8192 written while recording, 1808 -> 2048.
    CacheSize = 8192;
    for (const auto& [appended, total] : {std::pair{3000, 4096}, {7000, 8192}, {10000, 10240}}) {
        const std::string name = "channel" + std::to_string(appended) + "_";
        SuperWaveFile track;
        track.Open(name);
        track.SetFormat(TrackFormat(2, 16));
        track.SeekFrames(1000);  // 4000 bytes, rounded up to 4096
        Bytes take = Pattern(appended, 0, appended + 500);
        wave::WaveHeader buffer;
        buffer.Data = reinterpret_cast<char*>(take.data());
        buffer.BufferLength = static_cast<uint32_t>(take.size());
        buffer.BytesRecorded = static_cast<uint32_t>(appended);
        track.AppendRecorded(buffer);
        EXPECT_EQ(track.HasData(), appended >= 8192) << "only a full cache is written";
        track.FinishRecording();
        EXPECT_EQ(track.GetSegments(), (std::vector<int32_t>{4096, 4096 + total, total}));
        EXPECT_FALSE(track.GetSegment(0).IsOpen()) << "no file stays open after a recording";
        take.resize(appended);
        take.resize(total, 0);
        EXPECT_EQ(ReadStream(track, 4096, total), take) << appended;
        EXPECT_EQ(ReadWholeFile(name), "4096 " + name + "1\n");
        EXPECT_EQ(ReadWholeFile(name + "_waveheader"), Header(TrackFormat(2, 16)));
    }
    SuperWaveFile reopened;
    reopened.Open("channel3000_");
    EXPECT_EQ(Header(reopened.Format), Header(TrackFormat(2, 16)));
    reopened.SetFormat(TrackFormat(2, 16));  // the same bytes: fine
    EXPECT_EQ(ThrownText([&] { reopened.SetFormat(TrackFormat(1, 16)); }),
              "Can't change format, file is not empty!");

    // An 8-bit take is padded with silence (0x7F), never with 0x00 (full scale negative).
    // Flush rounds what waits up to 1024 bytes (less than a buffer length); without a cache
    // nothing is padded at all.
    for (const auto& [cache, flush, total] :
         {std::tuple{8192, true, 3072}, {8192, false, 4096}, {0, true, 3000}}) {
        CacheSize = cache;
        SuperWaveFile track;
        track.Open("channel" + std::to_string(cache) + std::to_string(flush) + "_");
        track.SetFormat(TrackFormat(1, 8));
        track.SeekFrames(0);
        track.AppendBytes(Bytes(3000, 200).data(), 3000);
        if (flush)
            track.Flush();
        track.FinishRecording();
        ASSERT_EQ(track.GetTotalBytes(), total);
        EXPECT_EQ(ReadStream(track, 3000, total - 3000), Bytes(total - 3000, 0x7F));
    }
}

// The RIFF WAVE file of data in format at rate, with the 18-byte format chunk.
std::string ExpectedWave(const WaveFormat& format, uint32_t rate, const Bytes& data) {
    auto u32 = [](uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    auto u16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
    auto size = static_cast<uint32_t>(data.size());
    return "RIFF" + u32(38 + size) + "WAVEfmt " + u32(18) + u16(format.FormatTag) +
           u16(format.Channels) + u32(rate) + u32(rate * format.BlockAlign) +
           u16(format.BlockAlign) + u16(format.BitsPerSample) + u16(0) + "data" + u32(size) +
           std::string(data.begin(), data.end());
}

TEST_F(SuperWaveFileTest, ExportWritesAWaveFileAtTheEngineRate) {
    SampleRate = 48000;
    for (const WaveFormat& format : {TrackFormat(2, 16), TrackFormat(1, 8)}) {
        SuperWaveFile track;
        track.Open("channel" + std::to_string(format.BitsPerSample) + "_");
        track.SetFormat(format);
        track.ExportWave("empty.wav");
        EXPECT_EQ(ReadWholeFile("empty.wav"), ExpectedWave(format, 48000, {}));
        // Two takes and gaps of fill bytes (0x7F in 8-bit tracks, 0 in 16-bit ones), ending
        // with the second 10240-byte block of the copy or one byte after it.
        const bool eight = format.BitsPerSample == 8;
        Bytes data(2 * SegmentedFile::RealFileBlock + eight, eight ? 0x7F : 0);
        for (size_t at : {size_t{100}, data.size() - 9000}) {
            Bytes take = Pattern(format.BitsPerSample, static_cast<int64_t>(at), 9000);
            track.WriteAt(static_cast<int64_t>(at), take.data(), take.size());
            std::copy(take.begin(), take.end(), data.begin() + static_cast<int64_t>(at));
        }
        track.ExportWave("export.wav");
        EXPECT_EQ(ReadWholeFile("export.wav"), ExpectedWave(format, 48000, data));
        EXPECT_EQ(ThrownText([&] { track.ExportWave("no/such/export.wav"); }),
                  "can't open realfile!");
    }
}

// The level bytes computed the slow, obvious way from the stream's bytes (padded to whole
// chunks): one byte per resolution frames, the first for frame 0 alone.
Bytes ReferenceLevels(const WaveFormat& format, const Bytes& bytes, int32_t resolution) {
    auto sample = [&](size_t i) { return std::abs(int16_t(bytes[i] | bytes[i + 1] << 8)); };
    Bytes levels;
    int64_t sum = 0;
    for (size_t f = 0, i = 0; i < bytes.size(); ++f, i += format.BlockAlign) {
        if (format.BitsPerSample == 8)
            sum += std::abs(bytes[i] - 128);
        else
            sum += format.Channels == 2 ? (sample(i) + sample(i + 2)) / 512 : sample(i) / 256;
        if (f % static_cast<size_t>(resolution) == 0) {
            levels.push_back(static_cast<uint8_t>(std::min<int64_t>(255, 4 * sum / resolution)));
            sum = 0;
        }
    }
    return levels;
}

Bytes Levels(SuperWaveFile& track) {
    uint8_t* peaks = nullptr;
    int32_t count = -1;
    track.GetPeaks(peaks, count);
    return peaks ? Bytes(peaks, peaks + count + 1) : Bytes{};
}

TEST_F(SuperWaveFileTest, LevelsFollowTheFormulaAcrossChunksAndSaturateForEveryFormat) {
    BufferSize = 1024;  // chunks of 4096 bytes
    int n = 0;
    for (const WaveFormat& format :
         {TrackFormat(2, 16), TrackFormat(1, 16), TrackFormat(2, 8), TrackFormat(1, 8)}) {
        SuperWaveFile track;
        track.Open("channel" + std::to_string(++n) + "_");
        track.SetFormat(format);
        // Quiet data (low levels), a gap, full-scale data (levels past 255 unless saturated).
        const bool eight = format.BitsPerSample == 8;
        Bytes quiet = Pattern(n, 0, 15000);
        Bytes loud = Pattern(n + 10, 20000, 13001);
        // The bytes that set a sample's size: every byte of 8-bit audio, the high ones of 16-bit.
        for (size_t i = eight ? 0 : 1; i < loud.size(); i += eight ? 1 : 2) {
            if (i < quiet.size())
                quiet[i] = static_cast<uint8_t>((eight ? 124 : 252) + quiet[i] % 8);
            loud[i] = static_cast<uint8_t>(loud[i] % 2 ? (eight ? 255 : 0x7F) : (eight ? 0 : 0x80));
        }
        track.WriteAt(0, quiet.data(), quiet.size());
        track.WriteAt(20000, loud.data(), loud.size());
        const size_t padded = (track.GetTotalBytes() + 4095) / 4096 * 4096;
        const Bytes bytes = ReadStream(track, 0, padded);

        // Groups of 300 and 441 frames straddle chunk boundaries inside the quiet data.
        for (int32_t resolution : {1, 7, 300, 441, 5000}) {
            SCOPED_TRACE(::testing::Message() << format.Channels << "ch " << format.BitsPerSample
                                              << "bit at " << resolution);
            track.BuildPeaks(resolution);
            Bytes levels = Levels(track);
            Bytes expected = ReferenceLevels(format, bytes, resolution);
            // The array holds PeakCount + 1 bytes; the reference makes as many or one less.
            ASSERT_EQ(levels.size(), padded / format.BlockAlign / resolution + 1);
            ASSERT_LE(expected.size(), levels.size());
            levels.resize(expected.size());
            EXPECT_EQ(levels, expected);
            if (resolution < 5000) {  // the loud data has groups of its own
                EXPECT_NE(std::count(levels.begin(), levels.end(), 255), 0);
            }
        }
    }
}

TEST_F(SuperWaveFileTest, TheArrayIsReusedUntilTheAudioOrTheResolutionChanges) {
    BufferSize = 1024;
    SuperWaveFile track;
    track.Open("channel1_");
    track.SetFormat(TrackFormat(1, 16));
    track.BuildPeaks(0);  // no resolution: no array, and no division by zero
    EXPECT_EQ(Levels(track), Bytes{});
    track.BuildPeaks(100);
    uint8_t* peaks = nullptr;
    int32_t count = -1;
    track.GetPeaks(peaks, count);
    EXPECT_TRUE(peaks && count == 0) << "an empty track has an empty array";

    std::vector<int16_t> samples(5000, 12800);  // magnitude 50: level 200
    track.WriteAt(0, reinterpret_cast<const uint8_t*>(samples.data()), samples.size() * 2);
    track.Save();
    track.BuildPeaks(100);
    EXPECT_EQ(Levels(track).at(5), 200);

    // Same resolution: nothing is read again (the segment file is gone and it still shows).
    track.CloseHandles();
    ASSERT_EQ(unlink("channel1_1"), 0);
    track.BuildPeaks(100);
    EXPECT_EQ(Levels(track).at(5), 200);
    track.BuildPeaks(50);  // another resolution: rebuilt from what is on disk now
    EXPECT_EQ(Levels(track).at(5), 0);
    track.Save();  // the audio changed
    EXPECT_EQ(Levels(track), Bytes{});
}

// A recording must survive a power loss: while it goes on, the recorder makes it durable at
// least once a second of audio, the metafile listing a new segment before the segment holds any
// data. (A take killed in the middle is tested through the engine, in RecordingTest.cpp.)
// What the file operations did, in order, with the bytes the take had appended at that moment.
struct FileEvent {
    FileOperation operation;
    std::string path;
    int64_t appended;
};
std::mutex eventsLock;
std::vector<FileEvent> events;
int64_t appendedSoFar = 0;

void NoteEvent(FileOperation operation, const char* path) {
    std::lock_guard<std::mutex> guard(eventsLock);
    events.push_back({operation, path, appendedSoFar});
}

TEST_F(SuperWaveFileTest, ATakeReachesTheDiskAtLeastOnceASecondOfAudioListedBeforeItsData) {
    constexpr int64_t Second = 44100 * 4;
    constexpr uint32_t BufferBytes = 2048 * 4;
    for (int32_t cache : {0, 204800}) {
        SCOPED_TRACE(cache);
        CacheSize = cache;
        const std::string name = "channel" + std::to_string(cache) + "_";
        SuperWaveFile track;
        track.Open(name);
        track.SetFormat(TrackFormat(2, 16));
        track.SeekFrames(0);
        events.clear();
        appendedSoFar = 0;
        SetFileOperationObserver(&NoteEvent);
        Bytes take = Pattern(3, 0, 10 * Second);
        wave::WaveHeader buffer;
        buffer.BufferLength = BufferBytes;
        buffer.BytesRecorded = BufferBytes;
        for (int64_t at = 0; at + BufferBytes <= 10 * Second; at += BufferBytes) {
            buffer.Data = reinterpret_cast<char*>(take.data() + at);
            track.AppendRecorded(buffer);
            {
                std::lock_guard<std::mutex> guard(eventsLock);
                appendedSoFar = at + BufferBytes;
            }
            track.KeepDurable();
        }
        SetFileOperationObserver(nullptr);

        const std::string segment = name + "1";
        int64_t durable = 0;
        bool listed = false;
        for (const FileEvent& event : events) {
            if (event.operation == FileOperation::Replace && event.path == name)
                listed = true;
            if (event.path != segment)
                continue;
            EXPECT_TRUE(listed) << "segment data before the metafile listed it";
            if (event.operation == FileOperation::DataSync) {
                EXPECT_LE(event.appended - durable, Second) << "more than a second at risk";
                durable = event.appended;
            }
        }
        EXPECT_GT(durable, 9 * Second - BufferBytes);
        // What was made durable is on disk as it was recorded, the take still going on.
        EXPECT_EQ(ReadWholeFile(segment).substr(0, static_cast<size_t>(durable)),
                  std::string(take.begin(), take.begin() + durable));
        track.FinishRecording();
        take.resize(static_cast<size_t>(appendedSoFar));
        EXPECT_EQ(ReadStream(track, 0, take.size()), take);
    }
}

}  // namespace
