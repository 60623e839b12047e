// zembla-cli render and info run as the real program on a song the test makes with the engine:
// the rendered samples must be the mix the plain model computes, the WAV file must say what it
// holds, and the song folder must not change in any way, not even in its files' times.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "RenderCommand.h"
#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "platform/os/FileDescriptor.h"
#include "platform/os/ProgramDirectory.h"
#include "storage/SuperWaveFile.h"
#include "support/EngineFixture.h"
#include "support/MixModel.h"
#include "support/TempDir.h"
#include "tracks/Channel.h"

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

std::string Stamp(const timespec& t) {
    return std::to_string(t.tv_sec) + "." + std::to_string(t.tv_nsec);
}

// Everything about a folder's entries (the folder's own included) that a reader could change:
// size, mode, the modification, change and access times, and a digest of the content. Every
// time is taken before any byte is read, and the folder and its files are read without
// touching their access times, so that the snapshot itself changes nothing.
using Snapshot = std::map<std::string, std::string>;
Snapshot Take(const std::string& folder) {
    std::vector<std::string> names = {"."};
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOATIME);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(fd >= 0 ? fdopendir(fd) : nullptr, closedir);
    EXPECT_TRUE(dir) << folder;
    while (dirent* entry = dir ? readdir(dir.get()) : nullptr)
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
            names.push_back(entry->d_name);
    Snapshot snapshot;
    std::vector<std::string> files;
    for (const std::string& name : names) {
        struct stat st;
        EXPECT_EQ(lstat((folder + "/" + name).c_str(), &st), 0) << name;
        snapshot[name] = "size " + std::to_string(st.st_size) + " mode " +
                         std::to_string(st.st_mode) + " mtime " + Stamp(st.st_mtim) + " ctime " +
                         Stamp(st.st_ctim) + " atime " + Stamp(st.st_atim);
        if (S_ISREG(st.st_mode))
            files.push_back(name);
    }
    for (const std::string& name : files) {
        FileDescriptor file(open((folder + "/" + name).c_str(), O_RDONLY | O_NOATIME));
        std::string bytes;
        char block[65536];
        for (ssize_t got; (got = read(file.Get(), block, sizeof block)) > 0;)
            bytes.append(block, static_cast<size_t>(got));
        snapshot[name] += " content " + std::to_string(std::hash<std::string>{}(bytes));
    }
    return snapshot;
}

class RenderAndInfo : public EngineTest {
  protected:
    // Runs zembla-cli in the test's folder.
    CliRun Cli(const std::string& arguments) {
        EXPECT_EQ(chdir(Dir().c_str()), 0);
        CliRun run;
        const int status = std::system(
            (std::string(ZEMBLA_CLI) + " " + arguments + " >cli.out 2>cli.err").c_str());
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadWholeFile(PathIn("cli.out"));
        run.err = ReadWholeFile(PathIn("cli.err"));
        return run;
    }

    std::string Soxi(const std::string& option, const std::string& file) {
        std::string answer;
        if (FILE* pipe = popen(("soxi " + option + " " + file + " 2>&1").c_str(), "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, pipe))
                answer += line;
            pclose(pipe);
        }
        while (!answer.empty() && answer.back() == '\n')
            answer.pop_back();
        return answer;
    }

    // One track imported from a WAV file that sox makes, and its model.
    void Import(int track, const std::string& name, const std::string& soxFormat,
                const std::string& synth, int at_ms) {
        const std::string wav = PathIn(name + ".wav"), raw = PathIn(name + ".raw");
        ASSERT_EQ(std::system(("sox -q -r 44100 -n " + soxFormat + " " + wav + " synth " + synth +
                               " && sox -q " + wav + " -t raw " + raw)
                                  .c_str()),
                  0);
        Channel* channel = Mixer->GetChannel(static_cast<char>(track));
        channel->ImportWav(wav.c_str(), at_ms);
        channel->Name = name;
        TrackModel& t = models[static_cast<size_t>(track)];
        bool stereo, sixteen;
        channel->GetFormat(stereo, sixteen);
        t.stereo = stereo;
        t.sixteen = sixteen;
        t.fill = channel->GetChannelFile()->GetFillByte();
        // An import starts at the next whole block of the track and ends padded to one.
        t.startByte = (MsToFrames(at_ms) * t.FrameBytes() + 1023) / 1024 * 1024;
        t.bytes = ReadWholeFile(raw);
        t.bytes.resize((t.bytes.size() + 1023) / 1024 * 1024, static_cast<char>(t.fill));
    }

    // Four tracks of both layouts and sample sizes and of different lengths, one of them with
    // volume moves and one with pan moves, with or without effects; saved as a song folder.
    void MakeSong(bool effects = false) {
        for (int i = 0; i < 16; ++i)
            Mixer->AddChannel();
        Mixer->NewProject(Song().c_str());
        models.assign(16, TrackModel{});
        Import(0, "pads", "-c 2 -b 16", "0.9 sine 440 sine 660 gain -3", 0);
        Import(3, "bass", "-c 1 -b 8", "0.5 square 110 gain -6", 300);
        Import(5, "lead", "-c 1 -b 16", "0.6 sawtooth 880 gain -2", 120);
        Import(9, "hats", "-c 2 -b 8", "0.3 whitenoise gain -8", 700);
        Channel* pads = Mixer->GetChannel(0);
        pads->Fade(100, 400, EventTypes::VolumeFade, 0.25f);
        if (effects) {
            Mixer->LoadPlugins(ProgramDirectory() + "/Plugins");
            pads->AddPlugin("Echo");
            pads->AddPlugin("Gain");
        }
        Channel* lead = Mixer->GetChannel(5);
        PlayPos = 4410;
        lead->RealTimeFade(true, false);
        lead->Pan(-0.75f);
        PlayPos = 20000;
        lead->Pan(0.5f);
        lead->RealTimeFade(false, false);
        PlayPos = 0;
        for (int track : {0, 3, 5, 9}) {
            models[static_cast<size_t>(track)].volume =
                Mixer->GetChannel(char(track))->GetVolumeEvents();
            models[static_cast<size_t>(track)].pan = Mixer->GetChannel(char(track))->GetPanEvents();
        }
        for (int i = 0; i < 16; ++i)
            songFrames =
                std::max<int64_t>(songFrames, Mixer->GetChannel(char(i))->GetTotalLength());
        Mixer->SaveProject();
        ASSERT_EQ(chdir(Dir().c_str()), 0);
    }

    // What the engine's mix of the whole song is, from the model, with the render's buffers.
    std::string ModelledMix() {
        BufferSize = RenderBufferFrames;
        for (TrackModel& t : models)
            t.cacheLength = RenderCacheBytes;
        std::string mix;
        for (int64_t k = 0; static_cast<int64_t>(mix.size()) < songFrames * 4; ++k) {
            const std::vector<int16_t> buffer = ModelCardBuffer(models, 0, 0, k);
            mix.append(reinterpret_cast<const char*>(buffer.data()), buffer.size() * 2);
        }
        mix.resize(static_cast<size_t>(songFrames * 4));
        BufferSize = DefaultBufferSize;
        return mix;
    }

    std::string Song() const { return PathIn("song"); }

    std::vector<TrackModel> models;
    int64_t songFrames = 0;
};

TEST_F(RenderAndInfo, RenderWritesTheModelledMixAsAWavFileAndLeavesTheSongFolderAsItWas) {
    MakeSong();
    const std::string expected = ModelledMix();
    const Snapshot before = Take(Song());

    const CliRun run = Cli("render song out.wav");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("Rendered 0:01.010 (1.010 s)"), std::string::npos) << run.out;

    const std::string wav = ReadWholeFile(PathIn("out.wav"));
    ASSERT_EQ(wav.size(), 44 + expected.size());
    const std::string data = wav.substr(44);
    const auto [at, model] = std::mismatch(data.begin(), data.end(), expected.begin());
    EXPECT_TRUE(at == data.end()) << "first difference at byte " << (at - data.begin());
    EXPECT_EQ(Soxi("-s", "out.wav"), std::to_string(songFrames));
    EXPECT_EQ(Soxi("-c", "out.wav") + " " + Soxi("-b", "out.wav") + " " + Soxi("-r", "out.wav"),
              "2 16 44100");

    EXPECT_EQ(Take(Song()), before) << "the render changed the song folder";
    for (const auto& [name, entry] : Take(Dir()))
        EXPECT_TRUE(name.find("out.wav.") == std::string::npos) << name << " was left behind";
    // The engine logs the plug-ins it loads, and nothing else when nothing goes wrong.
    std::istringstream log(ReadWholeFile(PathIn("logfile.txt")));
    for (std::string line; std::getline(log, line);)
        EXPECT_TRUE(line.rfind("Loading ", 0) == 0 || line.rfind(ProgramDirectory(), 0) == 0)
            << line;
}

TEST_F(RenderAndInfo, InfoPrintsEveryTrackWithItsNameFormatLengthPiecesMovesAndPlugins) {
    MakeSong(true);
    const Snapshot before = Take(Song());
    const CliRun run = Cli("info song");
    ASSERT_EQ(run.status, 0) << run.err;
    char pads[100];
    std::snprintf(pads, sizeof pads,
                  "    0  pads  stereo 16-bit  0:00.905       1  %6zu     0  Echo, Gain",
                  models[0].volume.size() - 1);
    for (const std::string& line :
         {std::string("Song song: 16 tracks, 0:01.010 long at 44100 Hz"), std::string(pads),
          std::string("    3  bass  mono 8-bit     0:00.812       1       0     0  -"),
          std::string("    5  lead  mono 16-bit    0:00.731       1       0     2  -"),
          std::string("    9  hats  stereo 8-bit   0:01.010       1       0     0  -")})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << " not in\n" << run.out;
    EXPECT_EQ(Take(Song()), before) << "info changed the song folder";
}

TEST_F(RenderAndInfo, AMissingDamagedOrEmptySongGivesTheEnginesMessageOrAnEmptyWavFile) {
    CliRun run = Cli("render nowhere out.wav");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.err, "zembla-cli render: Can't open directory:nowhere\n");
    EXPECT_FALSE(FileExists(PathIn("out.wav")));
    run = Cli("info nowhere");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.err, "zembla-cli info: Can't open directory:nowhere\n");

    for (int i = 0; i < 16; ++i)
        Mixer->AddChannel();
    Mixer->NewProject(Song().c_str());
    Mixer->SaveProject();
    run = Cli("render song out.wav");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWholeFile(PathIn("out.wav")).size(), 44u);
    EXPECT_EQ(Soxi("-s", "out.wav"), "0");

    WriteWholeFile(Song() + "/chan_events.dbf", "not a table");
    run = Cli("render song damaged.wav");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(
        run.err.find("zembla-cli render: The song's automation file chan_events.dbf is damaged"),
        std::string::npos)
        << run.err;
    EXPECT_FALSE(FileExists(PathIn("damaged.wav")));
}

}  // namespace
