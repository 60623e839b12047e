// What the main window costs with a full song: 16 tracks of ten minutes each (8-bit mono, their
// level arrays built by the engine), "Show waveform" on, on the offscreen platform.
//
// ViewTimerTick: one tick of the view's 100 ms timer while the song plays on a virtual card in
// real time, with the paints it causes (the strips' file views, the ruler, the time field,
// the meters), as the event loop would run them. Its budget is 5 ms (5 % of the period).
// OpenSongUntilDrawn: OpenSong of the song folder until the main window has been drawn.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/PalkMixer.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "shell/CMainFrame.h"
#include "shell/CTollanView.h"
#include "shell/GuiSettingsFile.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"
#include "views/ViewOptions.h"

namespace {

constexpr int Tracks = 16;
constexpr int TrackSeconds = 600;

class SongSession {
  public:
    SongSession() {
        char pattern[] = "/tmp/zembla-windowbench-XXXXXX";
        dir_ = mkdtemp(pattern);
        setenv("HOME", dir_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir_ + "/.config").c_str(), 1);
        std::filesystem::create_directories(dir_ + "/.config/Torvane");
        if (FILE* settings = std::fopen((dir_ + "/.config/Torvane/Zembla.conf").c_str(), "w")) {
            std::fputs("Soundcards=string:\"0\"\n", settings);
            std::fclose(settings);
        }
        if (chdir(dir_.c_str()) != 0)
            std::abort();
        wave::UseVirtualCards(1);
        frame_ = std::make_unique<CMainFrame>();
        frame_->show();
        song_ = dir_ + "/song";
        Mixer->NewProject(song_.c_str());
        // A tone whose loudness swells and ebbs, different on every track.
        std::string second(44100, '\0');
        for (int track = 0; track < Tracks; ++track) {
            Channel* channel = Mixer->GetChannel(static_cast<char>(track));
            channel->SetFormat(false, false);
            SuperWaveFile* file = channel->GetChannelFile();
            for (int s = 0; s < TrackSeconds; ++s) {
                for (int i = 0; i < 44100; ++i) {
                    const double t = s + i / 44100.0;
                    const double loudness = 0.5 + 0.5 * std::sin(t * (1.3 + 0.1 * track));
                    second[static_cast<size_t>(i)] =
                        static_cast<char>(128 + 127 * loudness * std::sin(t * 2 * M_PI * 110));
                }
                file->AppendBytes(second.data(), second.size());
            }
            file->Save();
        }
        Mixer->SaveProject();
        // The window's own file too, or opening the song stops at a message box.
        const int32_t markers[2] = {0, 0};
        QString error;
        if (!GuiSettingsFile::Write(QString::fromStdString(song_ + "/") + GuiSettingsFile::Name,
                                    markers, error))
            std::abort();
        SetShowWaveform(true);
    }
    ~SongSession() {
        frame_.reset();
        Mixer->Terminate();
        std::filesystem::remove_all(dir_);
    }
    CMainFrame& Frame() { return *frame_; }
    QString Song() const { return QString::fromStdString(song_); }

  private:
    std::string dir_;
    std::string song_;
    std::unique_ptr<CMainFrame> frame_;
};

SongSession* session = nullptr;

void Drawn(CMainFrame& frame) {
    QCoreApplication::processEvents();
    const QImage picture = frame.grab().toImage();
    benchmark::DoNotOptimize(picture.constBits());
}

void OpenSongUntilDrawn(benchmark::State& state) {
    CTollanView& view = *session->Frame().View();
    for (auto _ : state) {
        if (!view.OpenSong(session->Song()))
            state.SkipWithError("the song did not open");
        Drawn(session->Frame());
    }
}

void ViewTimerTick(benchmark::State& state) {
    CTollanView& view = *session->Frame().View();
    view.OpenSong(session->Song());
    Drawn(session->Frame());
    Mixer->SetPos_ms(60000);
    view.RouteCommand(32798);  // Space: play
    if (!Mixer->IsPlaying_b())
        state.SkipWithError("not playing");
    for (auto _ : state) {
        view.OnTimer();
        QCoreApplication::processEvents();
    }
    view.RouteCommand(32773);  // Esc: stop
}

BENCHMARK(ViewTimerTick)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(OpenSongUntilDrawn)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("ZEMBLA_AUDIO", "virtual", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QApplication application(argc, argv);
    session = new SongSession;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete session;
    return 0;
}
