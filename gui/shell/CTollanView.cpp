#include "shell/CTollanView.h"

#include <QPainter>
#include <QResizeEvent>
#include <list>
#include <string>

#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "resources/CommandIds.h"
#include "resources/Pictures.h"
#include "shell/AboutBox.h"
#include "shell/BuildMixDialog.h"
#include "shell/EngineCall.h"
#include "shell/GlobalSettingsDialog.h"
#include "shell/Manual.h"
#include "shell/TimeEdit.h"
#include "shell/WaitCursor.h"
#include "views/ChannelInfoDialog.h"
#include "views/ChannelStrip.h"
#include "views/ChannelWnd.h"
#include "views/FxSetupDialog.h"
#include "views/TimeView.h"
#include "views/TransportPanel.h"
#include "views/ViewOptions.h"

CTollanView* currentView = nullptr;

namespace {

constexpr int TrackCount = 16;
constexpr int StartSpan = 5000;
constexpr int RulerHeight = 15;
constexpr int RightPanelWidth = 150;

}  // namespace

CTollanView::CTollanView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CTollanView"));
    // The keyboard's home: while the view has the focus, the keys without a modifier are
    // commands. A click on the view's own background brings it back here.
    setFocusPolicy(Qt::ClickFocus);
    timer_.setInterval(TimerInterval);
    connect(&timer_, &QTimer::timeout, this, &CTollanView::OnTimer);
}

CTollanView::~CTollanView() {
    if (currentView == this)
        currentView = nullptr;
}

void CTollanView::OnInitialUpdate() {
    currentView = this;
    // What the settings lack or cannot open is queued or logged by the engine; the program
    // starts all the same.
    try {
        Mixer->ReadSettings();
    } catch (...) {
    }

    const QRect client = rect();
    row_ = new ChannelWnd(this);
    row_->setGeometry(client.adjusted(0, 0, 0, -RulerHeight));
    row_->SetSpan(StartSpan);
    for (int i = 0; i < TrackCount; ++i)
        CallEngine([&] { row_->AddStrip(); });
    std::list<std::string> cards;
    CallEngine([&] { Mixer->GetActiveSoundcards(cards); });
    row_->FillCardLists(cards);

    transport_ = new TransportPanel(this);
    transport_->show();

    ruler_ = new TimeView(this);
    ruler_->setGeometry(client.left(), client.bottom() - RulerHeight + 1, client.width(),
                        RulerHeight);
    ruler_->SetTimeRange(-StartSpan / 2, StartSpan / 2);

    connect(row_, &ChannelWnd::RefreshRequested, this, &CTollanView::RefreshPosition);
    connect(row_, &ChannelWnd::FxSetupRequested, this, &CTollanView::FxSetupCommand);
    connect(row_, &ChannelWnd::InfoRequested, this, &CTollanView::ChannelInfoCommand);
    connect(transport_, &TransportPanel::RefreshRequested, this, &CTollanView::RefreshPosition);
    connect(transport_, &TransportPanel::Stopped, this, [this] { mixEnd_ = -1; });
    timer_.start();
    LayOut();
}

void CTollanView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void CTollanView::LayOut() {
    if (!transport_)
        return;
    const QRect client = rect();
    const int w = client.right() + 1;
    const int h = client.bottom() + 1;
    row_->setGeometry(client.left(), client.top(), w - RightPanelWidth - client.left(),
                      h - client.top());
    ruler_->setGeometry(w - 148, client.top(), 58, row_->FileViewHeight() - client.top());
    transport_->setGeometry(w - 149, h - 150, 149, 150);
    RefreshPosition(false);
}

void CTollanView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!row_)
        return;
    const int w = width();
    painter.fillRect(QRect(row_->width(), 0, 20, row_->height()), QColor(100, 100, 100));
    painter.drawPixmap(w - 70, 0, Pictures::Logo());
    // The second logo goes below the ruler only where it fits whole above the transport
    // panel: a logo cut in half reads as a fault.
    const int below = row_->FileViewHeight();
    if (below + Pictures::LogoHeight <= height() - 150)
        painter.drawPixmap(w - 149, below, Pictures::Logo());
}

void CTollanView::RefreshPosition(bool reload) {
    if (!row_)
        return;
    if (reload)
        row_->ReloadAll();
    unsigned long position = 0;
    if (!CallEngine([&] { position = Mixer->GetPos_ms(); }))
        return;
    const int pos = static_cast<int>(position);
    transport_->TimeField()->FormatTime(static_cast<uint32_t>(position));
    row_->SetPlayPosition(pos);
    const int half = row_->Span() / 2;
    ruler_->SetTimeRange(pos - half, pos + half);
}

void CTollanView::OnTimer() {
    if (!row_)
        return;
    const bool playing = Mixer->IsPlaying_b();
    row_->UpdateMeters(playing);
    if (transport_->IsPlayDown()) {
        RefreshPosition(false);
        // A Build mix run ends past the song's end; a run that ended by itself (a card failed
        // or went away) shows stopped, and the take recorded so far appears.
        const bool mixDone = mixEnd_ != -1 && static_cast<int>(Mixer->GetPos_ms()) > mixEnd_;
        if (mixDone || !playing)
            transport_->SetPlaying(false);
    }
    if (Mixer->HasQueuedErrors())
        DrainEngineErrors();
}

void CTollanView::DrainEngineErrors() {
    // A box's own event loop runs the timer again: one drain at a time.
    static bool draining = false;
    if (draining)
        return;
    draining = true;
    OrvellError error("");
    while (Mixer->GetLastError(error))
        ShowEngineError(error);
    draining = false;
}

void CTollanView::Zoom(bool in) {
    const int span = row_->Span();
    if (in ? span < 100 : span > 600000)
        return;
    row_->SetSpan(in ? span / 2 : span * 2);
    RefreshPosition(false);
}

void CTollanView::GoTo(int64_t ms) {
    // The steps back stop at 0; nothing stops at the song's end.
    transport_->GoTo(static_cast<unsigned>(std::max<int64_t>(ms, 0)));
}

void CTollanView::ToggleShowWaveform() {
    WaitCursor wait;
    SetShowWaveform(!ShowWaveform());
    emit ShowWaveformChanged(ShowWaveform());
    RefreshPosition(true);
}

void CTollanView::StartBuildMix(int card, int track) {
    int end = -1;
    if (!CallEngine([&] {
            Mixer->BuildMix(card, track);
            end = Mixer->GetSongLength_ms();
        }))
        return;
    mixEnd_ = end;
    transport_->SetPlaying(true);
}

BuildMixDialog& CTollanView::MixDialog() {
    if (!buildMixDialog_)
        buildMixDialog_ = new BuildMixDialog(this);
    return *buildMixDialog_;
}

void CTollanView::BuildMixCommand() {
    BuildMixDialog& dialog = MixDialog();
    if (dialog.Run() != QDialog::Accepted)
        return;
    StartBuildMix(static_cast<int>(dialog.Card()), static_cast<int>(dialog.Track()));
}

void CTollanView::SettingsCommand() {
    GlobalSettingsDialog dialog(this);
    int count = 0;
    int size = 0;
    int cache = 0;
    CallEngine([&] { Mixer->GetBufferInfo(count, size, cache); });
    dialog.bufferCount = static_cast<uint32_t>(count);
    dialog.bufferSize = static_cast<uint32_t>(size / 1024);
    dialog.fileCache = static_cast<uint32_t>(cache / 1024);
    if (dialog.Run() != QDialog::Accepted)
        return;
    std::list<std::string> cards;
    CallEngine([&] { Mixer->GetActiveSoundcards(cards); });
    row_->FillCardLists(cards);
    // Applied on every OK, changed or not.
    CallEngine([&] {
        Mixer->SetBufferInfo(static_cast<int>(dialog.bufferCount),
                             static_cast<int>(dialog.bufferSize * 1024),
                             static_cast<int>(dialog.fileCache * 1024));
    });
}

void CTollanView::FxSetupCommand(ChannelStrip* strip) {
    // The main window owns it, and the knobs dialogs it opens, which outlive it.
    FxSetupDialog dialog(strip->GetChannel(), window());
    dialog.exec();
}

void CTollanView::ChannelInfoCommand(ChannelStrip* strip) {
    ChannelInfoDialog dialog(strip->GetChannel(), window());
    dialog.exec();
}

bool CTollanView::HandlesCommand(int id) const {
    using namespace CommandIds;
    switch (id) {
        case New:
        case Open:
        case Save:
        case Settings:
        case CommandIds::BuildMix:
        case ZoomIn:
        case ZoomOut:
        case Stop:
        case PlayStop:
        case SaveSettings:
        case CommandIds::ShowWaveform:
        case HelpTopics:
        case Help:
        case ContextHelp:
        case About:
        case Forward100:
        case Back100:
        case Forward5000:
        case Back5000:
        case Home:
        case End:
            return true;
    }
    return false;
}

bool CTollanView::OnCommand(int id) {
    using namespace CommandIds;
    const auto position = [] {
        return static_cast<int64_t>(static_cast<int32_t>(Mixer->GetPos_ms()));
    };
    switch (id) {
        case New:
            NewSong();
            return true;
        case Open:
            OpenCommand();
            return true;
        case Save:
            SaveSong();
            return true;
        case Settings:
            SettingsCommand();
            return true;
        case CommandIds::BuildMix:
            BuildMixCommand();
            return true;
        case ZoomIn:
        case ZoomOut:
            Zoom(id == ZoomIn);
            return true;
        case Stop:
            transport_->SetPlaying(false);
            return true;
        case PlayStop:
            transport_->SetPlaying(!Mixer->IsPlaying_b());
            return true;
        case SaveSettings:
            CallEngine([] { Mixer->SaveSettings(); });
            return true;
        case CommandIds::ShowWaveform:
            ToggleShowWaveform();
            return true;
        case HelpTopics:
        case Help:
        case ContextHelp:
            Manual::Open();
            return true;
        case About: {
            AboutBox box(this);
            box.exec();
            return true;
        }
        case Forward100:
        case Back100:
        case Forward5000:
        case Back5000: {
            const int step = (id == Forward100 || id == Back100) ? 100 : 5000;
            const bool back = id == Back100 || id == Back5000;
            CallEngine([&] { GoTo(position() + (back ? -step : step)); });
            return true;
        }
        case Home:
            GoTo(0);
            return true;
        case End:
            CallEngine([&] { GoTo(Mixer->GetSongLength_ms()); });
            return true;
    }
    return false;
}

bool CTollanView::RouteCommand(int id) {
    // Every window is offered the command, whether or not one before it took it.
    bool handled = row_ && row_->OnCommand(id);
    handled = (transport_ && transport_->OnCommand(id)) || handled;
    handled = OnCommand(id) || handled;
    return handled;
}

bool CTollanView::IsCommandHandled(int id) const {
    return (row_ && row_->HandlesCommand(id)) || (transport_ && transport_->HandlesCommand(id)) ||
           HandlesCommand(id);
}

void CTollanView::Shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    timer_.stop();
    if (!SaveSong())
        return;
    CallEngine([] { Mixer->SaveSettings(); });
}
