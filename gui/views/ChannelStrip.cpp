#include "views/ChannelStrip.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QUrl>
#include <QValidator>
#include <algorithm>
#include <cmath>

#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "resources/Bitmaps.h"
#include "resources/CommandIds.h"
#include "resources/Strings.h"
#include "shell/EngineCall.h"
#include "shell/FileDialogs.h"
#include "shell/MessageBoxes.h"
#include "soundcard/SoundCard.h"
#include "tracks/Channel.h"
#include "views/FileView.h"
#include "views/GuiButton.h"
#include "views/LedDisplay.h"
#include "views/PanControl.h"
#include "views/ScrollCode.h"
#include "views/StripGeometry.h"
#include "views/ViewOptions.h"
#include "views/VolumeControl.h"

namespace {

const char* const WavFilter = "Wav files (*.wav)";
const char* const WavSuffix = "wav";

// Refuses a name longer than the song can store (counted in UTF-8 bytes, so that a name with
// accents is cut where the user sees it, not by the save).
class NameLengthValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return input.toUtf8().size() <= ChannelStrip::MaxNameBytes ? Acceptable : Invalid;
    }
};

// An engine value (1.0 = 100) as a control's value, to the nearest unit, so that a value the
// user set shows again as set.
int ControlValue(float engineValue, int min, int max) {
    if (!std::isfinite(engineValue))
        return std::clamp(0, min, max);
    return static_cast<int>(std::clamp<long>(std::lround(engineValue * 100.0), min, max));
}

float EngineValue(int controlValue) {
    return static_cast<float>(controlValue * 0.01);
}

// The red an armed strip's name field shows; the roles not set here stay inherited.
QPalette ArmedPalette(QPalette palette) {
    palette.setColor(QPalette::Base, QColor(0xc8, 0x2a, 0x1e));
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x7a, 0x10, 0x08));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

}  // namespace

ChannelStrip::ChannelStrip(Channel* channel, QWidget* parent) : QWidget(parent), channel_(channel) {
    setObjectName(QStringLiteral("Channel window"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);

    QFont nameFont = font();
    nameFont.setPointSize(8);

    fileView_ = new FileView(this);
    fileView_->SetRange(0, 300);

    nameEdit_ = new QLineEdit(this);
    nameEdit_->setProperty("controlId", NameEditId);
    nameEdit_->setFont(nameFont);
    nameEdit_->setAlignment(Qt::AlignCenter);
    nameEdit_->setFrame(true);
    nameEdit_->setMaxLength(MaxNameBytes);
    nameEdit_->setValidator(new NameLengthValidator(nameEdit_));
    nameEdit_->setTextMargins(0, 0, 0, 0);
    // A file dropped on the name imports it, as anywhere on the strip.
    nameEdit_->setAcceptDrops(false);
    nameEdit_->installEventFilter(this);
    connect(nameEdit_, &QLineEdit::returnPressed, this, &ChannelStrip::StoreName);

    cardList_ = new QComboBox(this);
    cardList_->setProperty("controlId", CardListId);
    cardList_->setFont(nameFont);
    cardList_->setFocusPolicy(Qt::TabFocus);
    connect(cardList_, &QComboBox::activated, this, &ChannelStrip::OnCardChosen);

    const QRect placeholder(0, 0, 15, 15);
    muteButton_ = new GuiButton(placeholder, this, MuteButtonId, true);
    muteButton_->SetBitmaps(Bitmaps::MuteOff, Bitmaps::MuteLit);
    muteButton_->setToolTip(tr("Mute"));
    soloButton_ = new GuiButton(placeholder, this, SoloButtonId, true);
    soloButton_->SetBitmaps(Bitmaps::SoloOff, Bitmaps::SoloLit);
    soloButton_->setToolTip(tr("Solo"));
    fxButton_ = new GuiButton(placeholder, this, FxButtonId, false);
    fxButton_->SetBitmaps(Bitmaps::Effects, 0);
    fxButton_->setToolTip(tr("Effects"));
    recButton_ = new GuiButton(placeholder, this, RecButtonId, true);
    recButton_->SetBitmaps(Bitmaps::RecordOff, Bitmaps::RecordLit);
    recButton_->setToolTip(tr("Record arm"));
    connect(muteButton_, &GuiButton::clicked, this, &ChannelStrip::OnMuteClicked);
    connect(soloButton_, &GuiButton::clicked, this, &ChannelStrip::OnSoloClicked);
    connect(recButton_, &GuiButton::clicked, this, &ChannelStrip::OnRecClicked);
    connect(fxButton_, &GuiButton::clicked, this, &ChannelStrip::FxSetupRequested);

    panControl_ = new PanControl(this, QRect(0, 0, 30, 28));
    panControl_->SetRange(-100, 100);
    connect(panControl_, &PanControl::horizontalScroll, this,
            [this](int code, int value) { OnMove(false, code, value); });
    volumeControl_ = new VolumeControl(this, QRect(0, 0, 23, 134));
    volumeControl_->SetRange(0, 100);
    volumeControl_->SetValue(75);
    connect(volumeControl_, &VolumeControl::verticalScroll, this,
            [this](int code, int value) { OnMove(true, code, value); });
    // Dark until the track plays: a lit meter on a silent track would mislead.
    levelPanel_ = new LedDisplay(QRect(0, 0, 23, 134), this);

    resize(StripWidth, 100);
    PlaceControls();

    // A new track records mono, 16-bit until the user picks another format.
    if (channel_) {
        try {
            channel_->SetFormat(false, true);
        } catch (const OrvellError&) {
            // The track already holds audio in another format, and keeps it.
        }
    }
}

ChannelStrip::~ChannelStrip() {
    // The name field may lose the focus while the strip goes; the engine's track may be gone
    // already by then.
    nameEdit_->removeEventFilter(this);
}

StripGeometry ChannelStrip::GeometryFor(QSize size) const {
    return StripGeometry::For(size, cardList_->sizeHint().height());
}

void ChannelStrip::PlaceControls() {
    const StripGeometry g = GeometryFor(size());
    volumeControl_->setGeometry(g.volumeControl);
    levelPanel_->setGeometry(g.levelPanel);
    panControl_->setGeometry(g.panControl);
    fxButton_->setGeometry(g.fxButton);
    recButton_->setGeometry(g.recButton);
    muteButton_->setGeometry(g.muteButton);
    soloButton_->setGeometry(g.soloButton);
    cardList_->setGeometry(g.cardList);
    nameEdit_->setGeometry(g.nameEdit);
    fileView_->setGeometry(g.fileView);
}

void ChannelStrip::resizeEvent(QResizeEvent* event) {
    PlaceControls();
    QWidget::resizeEvent(event);
}

void ChannelStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, palette().button());
    // A raised frame: lit along the top and the left, dark along the bottom and the right.
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), palette().light());
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), palette().light());
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), palette().shadow());
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), palette().shadow());
}

void ChannelStrip::Refresh(bool reload, int fromMs, int toMs) {
    if (reload) {
        fileView_->LoadChannel(channel_);
        nameEdit_->setText(QString::fromStdString(channel_->Name));
        nameEdit_->setCursorPosition(0);
    }
    ShowVolPan();
    fileView_->SetRange(fromMs, toMs);
}

void ChannelStrip::ShowVolPan() {
    const bool program = ProgramMode();
    float volume = 1.0f;
    float pan = 0.0f;
    CallEngine([&] {
        if (program)
            channel_->GetRealtimeVolPan(volume, pan);
        else
            channel_->GetOffsetVolPan(volume, pan);
    });
    // The offsets shown are the engine's: a later move compares with them, so that dragging
    // back to a value the engine no longer has still reaches it.
    if (!panControl_->IsDragging()) {
        panControl_->SetValue(ControlValue(pan, -100, 100));
        if (!program)
            lastPan_ = panControl_->GetValue();
    }
    if (!volumeControl_->IsDragging()) {
        volumeControl_->SetValue(ControlValue(volume, 0, 100));
        if (!program)
            lastVolume_ = volumeControl_->GetValue();
    }
}

void ChannelStrip::OnMove(bool isVolume, int code, int value) {
    if (!ProgramMode()) {
        SendOffsets();
        return;
    }
    switch (code) {
        case ScrollThumbPosition:
            CallEngine([&] {
                if (isVolume)
                    channel_->Volume(EngineValue(value));
                else
                    channel_->Pan(EngineValue(value));
            });
            break;
        case ScrollTop:
        case ScrollEnd:
            CallEngine([&] { channel_->RealTimeFade(code == ScrollTop, isVolume); });
            break;
        default:
            break;
    }
}

void ChannelStrip::SendOffsets() {
    const int pan = panControl_->GetValue();
    const int volume = volumeControl_->GetValue();
    if (pan == lastPan_ && volume == lastVolume_)
        return;
    lastPan_ = pan;
    lastVolume_ = volume;
    CallEngine([&] {
        channel_->SetOffsetPan(EngineValue(pan));
        channel_->SetOffsetVol(EngineValue(volume));
    });
}

bool ChannelStrip::IsMuted() const {
    return muteButton_->IsDown();
}

bool ChannelStrip::IsSoloed() const {
    return soloButton_->IsDown();
}

bool ChannelStrip::IsArmed() const {
    return recButton_->IsDown();
}

void ChannelStrip::Enable(bool on) {
    CallEngine([&] { channel_->Enable(on); });
}

void ChannelStrip::Silence() {
    muteButton_->setEnabled(false);
    Enable(false);
}

void ChannelStrip::OnRecClicked() {
    const bool down = recButton_->IsDown();
    if (!CallEngine([&] { down ? channel_->Rec() : channel_->StopRec(); }))
        recButton_->SetDown(!down);
    ShowArmed();
}

void ChannelStrip::ShowArmed() {
    const bool armed = IsArmed();
    // An armed track keeps its card: the card holds the take's file until it is disarmed.
    cardList_->setEnabled(!armed);
    nameEdit_->setPalette(armed ? ArmedPalette(QPalette()) : QPalette());
    recLit_ = true;
    recButton_->SetBitmaps(Bitmaps::RecordOff, Bitmaps::RecordLit);
}

void ChannelStrip::OnMuteClicked() {
    Enable(!IsMuted());
}

void ChannelStrip::ToggleMute() {
    if (!muteButton_->isEnabled())
        return;
    muteButton_->SetDown(!IsMuted());
    OnMuteClicked();
}

void ChannelStrip::SetMuted(bool muted) {
    if (IsMuted() != muted)
        ToggleMute();
}

void ChannelStrip::SetSoloed(bool soloed) {
    if (IsSoloed() == soloed || !soloButton_->isEnabled())
        return;
    soloButton_->SetDown(soloed);
    OnSoloClicked();
}

void ChannelStrip::OnSoloClicked() {
    const int index = channel_->GetIndex();
    if (IsSoloed()) {
        muteButton_->setEnabled(true);
        muteButton_->SetDown(false);
        Enable(true);
        emit SoloChanged(index, SoloDown);
    } else {
        emit SoloChanged(index, SoloUp);
    }
}

void ChannelStrip::SetSoloAllowed(bool allowed) {
    if (!hasCard_) {
        Silence();
        return;
    }
    if (allowed) {
        muteButton_->setEnabled(true);
        if (!IsMuted())
            Enable(true);
    } else if (!IsSoloed()) {
        Silence();
    }
}

void ChannelStrip::FillCardList(const std::list<std::string>& names) {
    cardList_->clear();
    int widest = 0;
    for (const std::string& name : names) {
        const QString text = QString::fromStdString(name);
        cardList_->addItem(text);
        widest = std::max(widest, cardList_->fontMetrics().horizontalAdvance(text));
    }
    // The list opens wide enough to read the names the narrow strip cuts.
    cardList_->view()->setMinimumWidth(widest + 24);

    const int card = static_cast<signed char>(channel_->GetSoundCardIndex());
    hasCard_ = card <= cardList_->count() - 1;
    ShowCard();
    if (!hasCard_) {
        if (IsSoloed()) {
            soloButton_->SetDown(false);
            OnSoloClicked();
        }
        soloButton_->setEnabled(false);
        SetSoloAllowed(false);
        return;
    }
    soloButton_->setEnabled(true);
    emit SoloChanged(channel_->GetIndex(), SoloReapply);
}

void ChannelStrip::ShowCard() {
    const int card = static_cast<signed char>(channel_->GetSoundCardIndex());
    cardList_->setCurrentIndex(card < cardList_->count() ? card : -1);
    cardList_->setToolTip(cardList_->currentText());
}

void ChannelStrip::OnCardChosen(int index) {
    if (index < 0 || (hasCard_ && index == channel_->GetSoundCardIndex()))
        return;
    if (!CallEngine([&] { channel_->SetSoundCard(static_cast<char>(index)); })) {
        ShowCard();
        return;
    }
    hasCard_ = true;
    ShowCard();
    soloButton_->setEnabled(true);
    emit SoloChanged(channel_->GetIndex(), SoloReapply);
}

void ChannelStrip::UpdateMeter(bool playing, bool blinkOn) {
    // Taken on every tick, so that a run starts from its own levels, not the last run's.
    const float trackLevel = channel_->TakeLevel();
    float level = 0.0f;
    if (playing && IsArmed()) {
        SoundCard* card = Mixer ? Mixer->GetSoundcard(channel_->GetSoundCardIndex()) : nullptr;
        level = card ? card->GetInputMeterValue() / 32768.0f : 0.0f;
    } else if (playing) {
        level = trackLevel;
    }
    if (level > 0 || levelPanel_->GetValue() != level)
        levelPanel_->SetValue(level);

    const bool lit = !IsArmed() || blinkOn;
    if (lit != recLit_) {
        recLit_ = lit;
        recButton_->SetBitmaps(Bitmaps::RecordOff, lit ? Bitmaps::RecordLit : Bitmaps::RecordOff);
    }
}

void ChannelStrip::StoreName() {
    channel_->Name = nameEdit_->text().toStdString();
}

QString ChannelStrip::NameText() const {
    return nameEdit_->text();
}

bool ChannelStrip::eventFilter(QObject* watched, QEvent* event) {
    // Plain keys typed into the name are kept from the shortcuts by the application's
    // TextFieldKeyGuard.
    if (watched == nameEdit_ && event->type() == QEvent::FocusOut)
        StoreName();
    return QWidget::eventFilter(watched, event);
}

void ChannelStrip::keyPressEvent(QKeyEvent* event) {
    // The keys the name field leaves over (Escape, Return, the arrows up and down, the page
    // keys) end here rather than moving on to the row and the view.
    if (nameEdit_->hasFocus() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

QString ChannelStrip::DroppedPath(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        // A longer path is refused rather than cut, which would name another file.
        return path.size() <= MaxDroppedPathLength ? path : QString();
    }
    return {};
}

void ChannelStrip::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedPath(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void ChannelStrip::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedPath(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void ChannelStrip::dropEvent(QDropEvent* event) {
    const QString path = DroppedPath(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // After the drop has ended: the program the file came from waits for its end, and the
    // import may show a message box.
    QMetaObject::invokeMethod(
        this, [this, path] { ImportFile(path); }, Qt::QueuedConnection);
}

void ChannelStrip::ImportFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    CallEngine([&] { channel_->ImportWav(name.constData()); });
    // Also after a failure: the track may have changed part way.
    Refresh(true, fileView_->RangeStart(), fileView_->RangeEnd());
    emit RefreshRequested(true);
}

std::unique_ptr<QMenu> ChannelStrip::ContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const struct {
        int id;
        const char* text;
    } commands[] = {
        {CommandIds::ClearTrack, "Clear track"},
        {CommandIds::ClearPanProgram, "Clear pan program"},
        {CommandIds::ClearVolumeProgram, "Clear volume program"},
        {CommandIds::ExportWav, "Export to wav..."},
        {CommandIds::ImportWav, "Import wav..."},
        {CommandIds::ChannelInfo, "Info..."},
        {CommandIds::FadeOut, "Fade out"},
    };
    for (const auto& command : commands)
        menu->addAction(QString::fromUtf8(command.text))->setData(command.id);
    connect(menu.get(), &QMenu::triggered, this,
            [this](QAction* action) { RunCommand(action->data().toInt()); });
    return menu;
}

void ChannelStrip::contextMenuEvent(QContextMenuEvent* event) {
    ContextMenu()->exec(event->globalPos());
}

bool ChannelStrip::RunCommand(int id) {
    switch (id) {
        case CommandIds::ClearTrack:
            ClearTrack();
            return true;
        case CommandIds::ClearPanProgram:
            ClearProgram(false);
            return true;
        case CommandIds::ClearVolumeProgram:
            ClearProgram(true);
            return true;
        case CommandIds::ExportWav:
            ExportWav();
            return true;
        case CommandIds::ImportWav:
            ImportWav();
            return true;
        case CommandIds::ChannelInfo:
            emit InfoRequested();
            return true;
        case CommandIds::FadeOut:
            FadeOut();
            return true;
        default:
            return false;
    }
}

bool ChannelStrip::HasSelection() const {
    return fileView_->SelStart() != fileView_->SelEnd();
}

void ChannelStrip::ClearTrack() {
    if (HasSelection()) {
        fileView_->ClearSelection();
    } else {
        const MessageBoxes::Answer answer = MessageBoxes::Current().Show(
            QStringLiteral("Are your sure you wanna delete all data?"),
            QString::fromUtf8(Strings::AppTitle), MessageBoxes::Buttons::OkCancel);
        if (answer != MessageBoxes::Answer::Ok)
            return;
        CallEngine([&] { channel_->ClearData(); });
        fileView_->LoadChannel(channel_);
    }
    emit RefreshRequested(true);
}

void ChannelStrip::ClearProgram(bool isVolume) {
    const int a = fileView_->SelStart();
    const int b = fileView_->SelEnd();
    CallEngine([&] {
        if (a != b)
            channel_->ClearEvents(static_cast<unsigned>(std::min(a, b)),
                                  static_cast<unsigned>(std::max(a, b)), isVolume);
        else
            channel_->ClearEvents(isVolume);
    });
}

void ChannelStrip::ExportWav() {
    const QString path = FileDialogs::Current().SaveFileName(this, QString::fromUtf8(WavFilter),
                                                             QString::fromUtf8(WavSuffix));
    if (path.isEmpty())
        return;
    const QByteArray name = QFile::encodeName(path);
    CallEngine([&] { channel_->ExportToWave(name.constData()); });
}

void ChannelStrip::ImportWav() {
    const QString path = FileDialogs::Current().OpenFileName(this, QString::fromUtf8(WavFilter));
    if (!path.isEmpty())
        ImportFile(path);
}

void ChannelStrip::FadeOut() {
    if (!HasSelection())
        return;
    const int a = fileView_->SelStart();
    const int b = fileView_->SelEnd();
    CallEngine([&] {
        channel_->Fade(static_cast<unsigned long>(std::min(a, b)),
                       static_cast<unsigned long>(std::max(a, b)), EventTypes::VolumeFade, 0.0f);
    });
}
