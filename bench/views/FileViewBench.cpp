// What the strips' file views and the ruler cost to paint, on the offscreen platform, into an
// image as a window's backing store would be painted.
//
// The track: ten minutes of 8-bit mono audio in a song folder of its own, its level array
// built by the engine at 10 ms (60,136 bytes), shown with ShowWaveform set.
//
// FileViewPaint/span/moving: one 46 x 300 file view (the strip's) at a window of span ms in the
// middle of the track. moving 1: the window moves 10 ms before every paint, as it does on
// every refresh while the song plays (the picture of pieces and levels is redrawn); moving 0:
// the same window again, as while a selection is dragged (only the marks are drawn over the
// kept picture).
// FileViewPainter/span: the same picture painted directly, without the kept picture.
// SixteenFileViews/span: sixteen file views side by side in one 800 x 300 parent, all moved
// and painted, as one refresh of the row paints them.
// TimeViewPaint: the 58 x 300 ruler at a 5000 ms window.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/PalkMixer.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"
#include "views/FileView.h"
#include "views/FileViewPainter.h"
#include "views/TimeView.h"
#include "views/ViewOptions.h"

namespace {

constexpr int TrackMs = 600000;
constexpr int MiddleMs = TrackMs / 2;

class TrackSession {
  public:
    TrackSession() {
        char pattern[] = "/tmp/zembla-viewbench-XXXXXX";
        dir_ = mkdtemp(pattern);
        setenv("HOME", dir_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        if (chdir(dir_.c_str()) != 0)
            std::abort();
        wave::UseVirtualCards(1);
        Mixer->ReadSettings();
        channel_ = Mixer->AddChannel();
        SuperWaveFile* file = channel_->GetChannelFile();
        file->Open("channel0_");
        channel_->SetFormat(false, false);
        // A tone whose loudness swells and ebbs every few seconds, so that every row differs.
        std::string second(44100, '\0');
        for (int s = 0; s < TrackMs / 1000; ++s) {
            for (int i = 0; i < 44100; ++i) {
                const double t = s + i / 44100.0;
                const double loudness = 0.5 + 0.5 * std::sin(t * 1.3) * std::sin(t * 0.17);
                second[static_cast<size_t>(i)] =
                    static_cast<char>(128 + 127 * loudness * std::sin(t * 2 * M_PI * 110));
            }
            file->AppendBytes(second.data(), second.size());
        }
        file->Save();
        SetShowWaveform(true);
    }
    ~TrackSession() {
        Mixer->Terminate();
        std::filesystem::remove_all(dir_);
    }
    Channel* Track() const { return channel_; }

  private:
    std::string dir_;
    Channel* channel_ = nullptr;
};

TrackSession* session = nullptr;

void Render(QWidget& widget, QImage& image) {
    widget.render(&image);
    benchmark::DoNotOptimize(image.constBits());
}

void FileViewPaint(benchmark::State& state) {
    const int span = static_cast<int>(state.range(0));
    const bool moving = state.range(1) != 0;
    FileView view;
    view.resize(46, 300);
    view.LoadChannel(session->Track());
    if (view.PeakCount() < 60000)
        state.SkipWithError("no level array");
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    int from = MiddleMs - span / 2;
    view.SetRange(from, from + span);
    for (auto _ : state) {
        if (moving) {
            from += 10;
            view.SetRange(from, from + span);
        }
        Render(view, image);
    }
    state.counters["levels"] = view.PeakCount();
}

void FileViewPainter(benchmark::State& state) {
    const int span = static_cast<int>(state.range(0));
    FileView view;
    view.resize(46, 300);
    view.LoadChannel(session->Track());
    int from = MiddleMs - span / 2;
    view.SetRange(from, from + span);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    FileViewScene scene;
    scene.size = view.size();
    scene.blocks = &view.Blocks();
    scene.peaks = view.Peaks();
    scene.peakCount = view.PeakCount();
    scene.msPerLevel = view.MsPerLevel();
    scene.showWaveform = true;
    const FileViewColours colours = FileViewColours::FromPalette(view.palette());
    for (auto _ : state) {
        from += 10;
        scene.rangeStart = from;
        scene.rangeEnd = from + span;
        QPainter painter(&image);
        PaintFileViewContent(painter, scene, colours);
        PaintFileViewMarks(painter, scene);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

void SixteenFileViews(benchmark::State& state) {
    const int span = static_cast<int>(state.range(0));
    QWidget row;
    row.resize(800, 300);
    std::vector<FileView*> views;
    for (int i = 0; i < 16; ++i) {
        auto* view = new FileView(&row);
        view->setGeometry(50 * i + 2, 0, 46, 300);
        view->LoadChannel(session->Track());
        views.push_back(view);
    }
    QImage image(row.size(), QImage::Format_ARGB32_Premultiplied);
    int from = MiddleMs - span / 2;
    for (auto _ : state) {
        from += 10;
        for (FileView* view : views)
            view->SetRange(from, from + span);
        Render(row, image);
    }
}

void TimeViewPaint(benchmark::State& state) {
    TimeView ruler;
    ruler.resize(58, 300);
    QImage image(ruler.size(), QImage::Format_ARGB32_Premultiplied);
    int from = MiddleMs - 2500;
    for (auto _ : state) {
        from += 10;
        ruler.SetTimeRange(from, from + 5000);
        Render(ruler, image);
    }
}

BENCHMARK(FileViewPaint)
    ->ArgsProduct({{5000, 1280000}, {0, 1}})
    ->ArgNames({"span", "moving"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(FileViewPainter)->Arg(5000)->Arg(1280000)->ArgName("span")->Unit(benchmark::kMicrosecond);
BENCHMARK(SixteenFileViews)
    ->Arg(5000)
    ->Arg(1280000)
    ->ArgName("span")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(TimeViewPaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // No window on the screen, and never the machine's sound card.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("ZEMBLA_AUDIO", "virtual", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QApplication application(argc, argv);
    session = new TrackSession;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete session;
    return 0;
}
