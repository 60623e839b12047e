#include "views/TransportPanel.h"

#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <limits>

#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "resources/CommandIds.h"
#include "shell/EngineCall.h"
#include "shell/TimeEdit.h"
#include "views/FileViewPainter.h"
#include "views/MarkerButton.h"
#include "views/ViewOptions.h"

namespace {

const QString PlayCaption = QStringLiteral(">");
const QString StopCaption = QStringLiteral("[]");

// Flat buttons as a thin frame on the panel's face, so that they read as buttons and a button
// that is down shows it.
const char* const ButtonLook =
    "QPushButton { border: 1px solid palette(dark); border-radius: 0; padding: 0;"
    " background: palette(button); }"
    "QPushButton:pressed, QPushButton:checked { border-color: palette(shadow);"
    " background: palette(mid); }";

}  // namespace

TransportPanel::TransportPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TransportPanel"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setStyleSheet(QString::fromLatin1(ButtonLook));

    timeField_ = new TimeEdit(this);
    timeField_->setObjectName(QStringLiteral("TimeField"));
    timeField_->setProperty("controlId", TimeFieldId);
    play_ = AddButton(PlayCaption, PlayId, "PlayButton", true);
    rec_ = AddButton(QStringLiteral("Rec"), RecId, "RecButton", true);
    toStart_ = AddButton(QStringLiteral("|<"), ToStartId, "ToStartButton", false);
    windBack_ = AddButton(QStringLiteral("<<"), WindBackId, "WindBackButton", false);
    windForward_ = AddButton(QStringLiteral(">>"), WindForwardId, "WindForwardButton", false);
    set_ = AddButton(QStringLiteral("Set"), SetId, "SetButton", true);
    for (int i = 0; i < 2; ++i) {
        MarkerButton* marker = new MarkerButton(QString::number(i), this);
        marker->setObjectName(QStringLiteral("Marker%1Button").arg(i));
        marker->setProperty("controlId", i == 0 ? Marker0Id : Marker1Id);
        marker->setFocusPolicy(Qt::NoFocus);
        connect(marker, &QPushButton::clicked, this, [this, i] { OnMarker(i); });
        markers_[i] = marker;
    }
    loop_ = AddButton(QStringLiteral("Loop 1->0"), LoopId, "LoopButton", true);
    program_ = AddButton(QStringLiteral("Program"), ProgramId, "ProgramButton", true);
    play_->setEnabled(false);
    rec_->setEnabled(false);
    PlaceControls();

    connect(timeField_, &TimeEdit::GotoTime, this, &TransportPanel::GoTo);
    connect(play_, &QPushButton::clicked, this, &TransportPanel::OnPlay);
    connect(rec_, &QPushButton::clicked, this, &TransportPanel::OnRec);
    connect(toStart_, &QPushButton::clicked, this, [this] { GoTo(0); });
    connect(set_, &QPushButton::clicked, this, &TransportPanel::OnSet);
    connect(program_, &QPushButton::clicked, this, &TransportPanel::OnProgram);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("TransportTimer"));
    timer_->setInterval(TickMs);
    connect(timer_, &QTimer::timeout, this, &TransportPanel::Tick);
    timer_->start();
}

QPushButton* TransportPanel::AddButton(const QString& caption, int id, const char* name,
                                       bool checkable) {
    QPushButton* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setProperty("controlId", id);
    button->setFlat(true);
    button->setCheckable(checkable);
    // A focused push button would click on Space, doubling the main window's command.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void TransportPanel::PlaceControls() {
    timeField_->setGeometry(10, 10, 80, 17);
    play_->setGeometry(10, 29, 40, 17);
    rec_->setGeometry(52, 29, 38, 17);
    toStart_->setGeometry(10, 48, 40, 17);
    windBack_->setGeometry(50, 48, 40, 17);
    windForward_->setGeometry(92, 48, 40, 17);
    set_->setGeometry(10, 67, 40, 17);
    markers_[0]->setGeometry(52, 67, 20, 17);
    markers_[1]->setGeometry(74, 67, 20, 17);
    loop_->setGeometry(10, 86, 84, 17);
    program_->setGeometry(10, 105, 84, 17);
}

void TransportPanel::resizeEvent(QResizeEvent*) {
    PlaceControls();
}

void TransportPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    DrawFrame3d(painter, 0, 0, width(), height(), QColor(250, 250, 250), QColor(20, 20, 20));
}

void TransportPanel::GoTo(unsigned ms) {
    timeField_->FormatTime(ms);
    MoveTo(ms);
}

void TransportPanel::MoveTo(unsigned ms) {
    const bool wasRecording = Mixer->IsRecording_b();
    CallEngine([ms] { Mixer->SetPos_ms(ms); });
    // "Rec" never stays down over a take that is no longer running.
    const bool takeEnded = wasRecording && !Mixer->IsRecording_b();
    if (takeEnded)
        rec_->setChecked(false);
    emit RefreshRequested(takeEnded);
}

void TransportPanel::SetPlaying(bool on) {
    if (on) {
        const bool started = CallEngine([] { Mixer->Play(); });
        play_->setText(started ? StopCaption : PlayCaption);
        play_->setChecked(started);
        return;
    }
    // The engine ends the run even when its stop fails, so the panel shows it stopped then
    // too, and the strips reload whatever the takes kept.
    CallEngine([] { Mixer->Stop(); });
    play_->setText(PlayCaption);
    rec_->setChecked(false);
    play_->setChecked(false);
    emit RefreshRequested(true);
    emit Stopped();
}

bool TransportPanel::IsPlayDown() const {
    return play_->isChecked();
}

void TransportPanel::EnableTransport() {
    play_->setEnabled(true);
    rec_->setEnabled(true);
}

void TransportPanel::OnPlay() {
    SetPlaying(play_->isChecked());
}

void TransportPanel::OnRec() {
    const bool down = rec_->isChecked();
    if (CallEngine([down] {
            if (down)
                Mixer->Rec();
            else
                Mixer->Stop();
        })) {
        SetPlaying(down);
        return;
    }
    rec_->setChecked(false);
    // A take that cannot start ends the whole run: the panel follows the engine.
    if (!down || (IsPlayDown() && !Mixer->IsPlaying_b()))
        SetPlaying(false);
}

MarkerButton* TransportPanel::Marker(int index) const {
    if (index != 0 && index != 1)
        throw InternalError("cant find button!");
    return markers_[index];
}

void TransportPanel::SetMarker(int index, int ms) {
    MarkerButton* marker = Marker(index);
    marker->SetTime(ms);
    marker->SetMarkerEnabled(ms != MarkerButton::Unset);
    ApplyMarkerEnabling();
}

int TransportPanel::GetMarker(int index) const {
    return Marker(index)->Time();
}

void TransportPanel::ApplyMarkerEnabling() {
    for (MarkerButton* marker : markers_)
        marker->setEnabled(set_->isChecked() || marker->MarkerEnabled());
}

void TransportPanel::OnSet() {
    ApplyMarkerEnabling();
}

void TransportPanel::OnMarker(int index) {
    MarkerButton* marker = markers_[index];
    if (!set_->isChecked()) {
        // Enabled without a time after an assignment that failed: nowhere to go.
        if (marker->Time() != MarkerButton::Unset)
            GoTo(static_cast<unsigned>(marker->Time()));
        return;
    }
    set_->setChecked(false);
    uint32_t ms = 0;
    try {
        ms = timeField_->ParseTime();
    } catch (const TimeTextError&) {
        // Shown already; both markers stay as they were for another try.
        timeField_->setFocus();
        return;
    }
    SetMarker(index, static_cast<int>(ms));
}

void TransportPanel::OnProgram() {
    SetProgramMode(program_->isChecked());
    emit RefreshRequested(false);
}

void TransportPanel::Tick() {
    if (IsPlayDown() && loop_->isChecked()) {
        // Unsigned: an unset marker 1 (-1) is the largest time, never passed. An unset marker 0
        // has nowhere to jump to.
        const auto position = static_cast<uint32_t>(Mixer->GetPos_ms());
        const int loopStart = markers_[0]->Time();
        if (position > static_cast<uint32_t>(markers_[1]->Time()) &&
            loopStart != MarkerButton::Unset)
            MoveTo(static_cast<uint32_t>(loopStart));
    }

    int delta = 0;
    if (windBack_->isDown())
        delta = -WindStep;
    else if (windForward_->isDown())
        delta = WindStep;
    else
        return;
    const int64_t target = static_cast<int64_t>(Mixer->GetPos_ms()) + delta;
    GoTo(static_cast<unsigned>(
        std::clamp<int64_t>(target, 0, std::numeric_limits<uint32_t>::max())));
}

bool TransportPanel::HandlesCommand(int id) const {
    return id == CommandIds::RecordToggle;
}

bool TransportPanel::OnCommand(int id) {
    if (id != CommandIds::RecordToggle)
        return false;
    // No song open: nothing to record into, as the disabled button says.
    if (rec_->isEnabled()) {
        rec_->setChecked(true);
        OnRec();
    }
    return true;
}
