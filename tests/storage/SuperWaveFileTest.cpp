#include <cstring>
#include <string>
#include <vector>

#include "StorageFixture.h"
#include "TrackHelpers.h"
#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "storage/SuperWaveFile.h"
#include "storage/TrackFormat.h"

namespace {

using Bytes = std::vector<uint8_t>;

class SuperWaveFileTest : public StorageTest {
  protected:
    std::string Header(const WaveFormat& format) {
        return std::string(reinterpret_cast<const char*>(&format), sizeof format);
    }
    void Append(SuperWaveFile& track, const Bytes& bytes) {
        track.AppendBytes(bytes.data(), bytes.size());
    }
};

TEST_F(SuperWaveFileTest, ANewTrackHasNoFormatAndPlaysNothing) {
    for (int32_t cache : {0, 8192}) {
        CacheSize = cache;
        SuperWaveFile track;
        track.Open("channel1_");
        EXPECT_TRUE(IsEmptyFormat(track.Format));
        std::vector<int16_t> data(BufferSize * 2, 123);
        track.SeekFrames(0);
        EXPECT_FALSE(track.ReadMixBuffer(data.data()));
        EXPECT_EQ(data[0], 123);
    }
}

TEST_F(SuperWaveFileTest, SetFormatRefusesFormatsTheEngineCannotPlay) {
    SuperWaveFile track;
    track.SetFormat(TrackFormat(2, 16));
    struct Bad {
        WaveFormat format;
        const char* says;
    };
    WaveFormat notPcm = TrackFormat(2, 16);
    notPcm.FormatTag = 3;
    for (const Bad& bad :
         {Bad{notPcm, "format tag 3 is not PCM"}, Bad{TrackFormat(6, 16), "6 channels"},
          Bad{TrackFormat(0, 16), "0 channels"}, Bad{TrackFormat(2, 24), "24 bits per sample"}}) {
        try {
            track.SetFormat(bad.format);
            ADD_FAILURE() << "accepted " << bad.says;
        } catch (const DisplayedError& error) {
            EXPECT_NE(error.Message.find(bad.says), std::string::npos) << error.Message;
        }
        EXPECT_EQ(Header(track.Format), Header(TrackFormat(2, 16)));
    }
}

TEST_F(SuperWaveFileTest, AFormatChangeNeedsAnEmptyTrack) {
    SuperWaveFile track;
    track.Open("channel1_");
    track.SetFormat(TrackFormat(1, 8));
    EXPECT_EQ(track.GetFillByte(), 0x7F);
    track.SetFormat(TrackFormat(2, 16));
    EXPECT_EQ(track.GetFillByte(), 0);
    Bytes audio(100, 1);
    track.WriteAt(0, audio.data(), audio.size());
    track.SetFormat(TrackFormat(2, 16));  // the same bytes: fine
    try {
        track.SetFormat(TrackFormat(1, 16));
        FAIL() << "format changed under data";
    } catch (const DisplayedError& error) {
        EXPECT_EQ(error.Message, "Can't change format, file is not empty!");
    }
    EXPECT_EQ(track.Format.Channels, 2);
}

TEST_F(SuperWaveFileTest, TheHeaderFileKeepsTheFormatRecord) {
    {
        SuperWaveFile track;
        track.Open("channel4_");
        track.SetFormat(TrackFormat(1, 8));
        track.Save();
    }
    EXPECT_EQ(ReadWholeFile("channel4__waveheader"), Header(TrackFormat(1, 8)));
    SuperWaveFile reopened;
    reopened.Open("channel4_");
    EXPECT_EQ(Header(reopened.Format), Header(TrackFormat(1, 8)));
    EXPECT_EQ(reopened.GetFillByte(), 0x7F);
}

TEST_F(SuperWaveFileTest, UnusableHeaderFilesAreIgnoredAndLogged) {
    WriteWholeFile("channel1__waveheader", Header(TrackFormat(2, 16)).substr(0, 10));
    WriteWholeFile("channel2__waveheader", Header(TrackFormat(2, 24)));
    WriteWholeFile("channel3__waveheader", std::string(18, '\0'));
    for (const char* name : {"channel1_", "channel2_", "channel3_"}) {
        SuperWaveFile track;
        track.SetFormat(TrackFormat(1, 16));
        track.Open(name);
        if (std::string(name) == "channel3_") {
            EXPECT_EQ(track.Format.Channels, 0) << "the empty record is the no-format state";
        } else {
            EXPECT_EQ(Header(track.Format), Header(TrackFormat(1, 16))) << name;
        }
    }
    std::string log = LogText();
    EXPECT_NE(log.find("channel1__waveheader is shorter than 18 bytes"), std::string::npos) << log;
    EXPECT_NE(log.find("channel2__waveheader holds an unusable format (24 bits per sample"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("channel3__waveheader"), std::string::npos) << log;
}

struct WideningCase {
    uint16_t channels;
    uint16_t bits;
    int32_t cache;
};

void PrintTo(const WideningCase& c, std::ostream* out) {
    *out << c.channels << "ch " << c.bits << "bit cache " << c.cache;
}

class ReadMixBufferTest : public StorageTest, public ::testing::WithParamInterface<WideningCase> {};

TEST_P(ReadMixBufferTest, WidensEveryBufferOfTheTrackIntoStereo16) {
    BufferSize = 1024;
    CacheSize = GetParam().cache;
    const WaveFormat format = TrackFormat(GetParam().channels, GetParam().bits);
    const size_t bufferBytes = BufferSize * format.BlockAlign;
    SuperWaveFile track;
    track.Open("channel1_");
    track.SetFormat(format);

    // Data, a gap, data: buffers and cache refills fall at every kind of boundary.
    StreamModel model(bufferBytes * 10, -1);
    auto put = [&](int64_t at, size_t count) {
        Bytes bytes = Pattern(7, at, count);
        track.WriteAt(at, bytes.data(), count);
        for (size_t i = 0; i < count; ++i)
            model[at + static_cast<int64_t>(i)] = bytes[i];
    };
    put(0, bufferBytes * 7 / 2);
    put(bufferBytes * 5, bufferBytes * 5 / 4);
    track.CloseHandles();
    const int64_t total = track.GetTotalBytes();

    for (int64_t startFrame : {0, 300}) {
        track.SeekFrames(startFrame);
        int64_t at = (startFrame * format.BlockAlign + 1023) / 1024 * 1024;
        for (int k = 0; k < 8; ++k, at += static_cast<int64_t>(bufferBytes)) {
            std::vector<int16_t> data(BufferSize * 2, 0);
            bool found = track.ReadMixBuffer(data.data());
            bool touchesData = false;
            for (size_t i = 0; i < bufferBytes; ++i)
                touchesData = touchesData || (at + static_cast<int64_t>(i) < total &&
                                              model[at + static_cast<int64_t>(i)] >= 0);
            if (touchesData) {
                ASSERT_TRUE(found) << "buffer " << k;
            }
            if (found) {
                ASSERT_EQ(data,
                          Widened(format, ModelBytes(model, at, bufferBytes, track.GetFillByte())))
                    << "buffer " << k << " from frame " << startFrame;
            }
        }
    }
    track.SeekFrames(total);
    std::vector<int16_t> data(BufferSize * 2, 0);
    EXPECT_FALSE(track.ReadMixBuffer(data.data()));

    track.SeekFrames(0);
    track.Writing = true;
    EXPECT_FALSE(track.ReadMixBuffer(data.data()));
}

INSTANTIATE_TEST_SUITE_P(AllFormatsAndCaches, ReadMixBufferTest,
                         ::testing::Values(WideningCase{2, 16, 0}, WideningCase{2, 8, 0},
                                           WideningCase{1, 16, 0}, WideningCase{1, 8, 0},
                                           WideningCase{2, 16, 1024}, WideningCase{2, 8, 1024},
                                           WideningCase{1, 16, 1024}, WideningCase{1, 8, 1024},
                                           WideningCase{2, 16, 5000}, WideningCase{2, 8, 5000},
                                           WideningCase{1, 16, 5000}, WideningCase{1, 8, 5000},
                                           WideningCase{2, 16, 102400},
                                           WideningCase{1, 8, 102400}));

TEST_F(SuperWaveFileTest, ATakeAtTenSecondsStartsItsSegmentOnA1024ByteBoundary) {
    SuperWaveFile track;
    track.Open("channel1_");
    track.SetFormat(TrackFormat(2, 16));
    track.SeekFrames(441000);
    Bytes take = Pattern(3, 0, 300000);
    wave::WaveHeader buffer;
    buffer.Data = reinterpret_cast<char*>(take.data());
    buffer.BufferLength = static_cast<uint32_t>(take.size());
    buffer.BytesRecorded = 250000;
    track.AppendRecorded(buffer);
    track.FinishRecording();
    ASSERT_EQ(track.GetSegmentCount(), 1);
    EXPECT_EQ(track.GetSegment(0).Start, 1764352);
    EXPECT_EQ(track.GetSegment(0).FileName, "channel1_1");
    EXPECT_FALSE(track.GetSegment(0).IsOpen()) << "no file stays open after a recording";
    EXPECT_EQ(ReadStream(track, 1764352, 250000), Bytes(take.begin(), take.begin() + 250000));
}

TEST_F(SuperWaveFileTest, RecordingsEndPaddedToTheBufferLengthAndTo1024Bytes) {
    struct Case {
        size_t appended;
        int32_t expectedTotal;
    };
    // BufferSize 2048 taken as bytes, cache 8192: 3000 -> 4096; 7000 -> 8192 (whole cache);
    // 10000 -> 8192 written while recording, 1808 -> 2048.
    int n = 0;
    for (const Case& c : {Case{3000, 4096}, Case{7000, 8192}, Case{10000, 10240}}) {
        CacheSize = 8192;
        SuperWaveFile track;
        std::string name = "channel" + std::to_string(++n) + "_";
        track.Open(name);
        track.SetFormat(TrackFormat(2, 16));
        track.SeekFrames(0);
        Bytes data = Pattern(n, 0, c.appended);
        Append(track, data);
        EXPECT_EQ(track.HasData(), c.appended >= 8192) << "only a full cache is written";
        track.FinishRecording();
        EXPECT_EQ(track.GetTotalBytes(), c.expectedTotal);
        Bytes stored = ReadStream(track, 0, c.expectedTotal);
        data.resize(c.expectedTotal, 0);
        EXPECT_EQ(stored, data) << c.appended;
        EXPECT_EQ(FileSize(name + "_waveheader"), 18);
        EXPECT_EQ(ReadWholeFile(name), "0 " + name + "1\n");
    }

    CacheSize = 8192;
    SuperWaveFile flushed;
    flushed.Open("channel9_");
    flushed.SetFormat(TrackFormat(1, 8));
    flushed.SeekFrames(0);
    Append(flushed, Bytes(1500, 200));
    flushed.Flush();
    EXPECT_EQ(flushed.GetTotalBytes(), 2048);

    CacheSize = 0;
    SuperWaveFile direct;
    direct.Open("channel10_");
    direct.SetFormat(TrackFormat(2, 16));
    direct.SeekFrames(0);
    Append(direct, Bytes(3000, 1));
    EXPECT_EQ(direct.GetTotalBytes(), 3000);
    direct.FinishRecording();
    EXPECT_EQ(direct.GetTotalBytes(), 3000) << "without a cache nothing is padded";
}

std::string ExpectedWave(const WaveFormat& format, uint32_t rate, const Bytes& data) {
    auto u32 = [](uint32_t v) {
        return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                           char(v >> 24)};
    };
    auto u16 = [](uint32_t v) { return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)}; };
    auto size = static_cast<uint32_t>(data.size());
    return "RIFF" + u32(38 + size) + "WAVE" + "fmt " + u32(18) + u16(format.FormatTag) +
           u16(format.Channels) + u32(rate) + u32(rate * format.BlockAlign) +
           u16(format.BlockAlign) + u16(format.BitsPerSample) + u16(0) + "data" + u32(size) +
           std::string(data.begin(), data.end());
}

TEST_F(SuperWaveFileTest, ExportWritesAWaveFileAtTheEngineRate) {
    SampleRate = 48000;
    for (uint16_t bits : {16, 8}) {
        SuperWaveFile track;
        track.Open("channel" + std::to_string(bits) + "_");
        const WaveFormat format = TrackFormat(bits == 8 ? 1 : 2, bits);
        track.SetFormat(format);
        StreamModel model(30000, -1);
        for (int64_t at : {int64_t{100}, int64_t{20000}}) {
            Bytes bytes = Pattern(bits, at, 9000);
            track.WriteAt(at, bytes.data(), bytes.size());
            for (size_t i = 0; i < bytes.size(); ++i)
                model[at + static_cast<int64_t>(i)] = bytes[i];
        }
        track.ExportWave("export.wav");
        Bytes data = ModelBytes(model, 0, 29000, bits == 8 ? 0x7F : 0);
        EXPECT_EQ(ReadWholeFile("export.wav"), ExpectedWave(format, 48000, data)) << bits;
    }

    SuperWaveFile empty;
    empty.Open("channel1_");
    empty.SetFormat(TrackFormat(2, 16));
    empty.ExportWave("empty.wav");
    EXPECT_EQ(ReadWholeFile("empty.wav"), ExpectedWave(TrackFormat(2, 16), 48000, {}));
}

}  // namespace
