#include "views/ChannelWnd.h"

#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "core/PalkMixer.h"
#include "resources/CommandIds.h"
#include "views/ChannelStrip.h"
#include "views/FileView.h"
#include "views/SteadyClock.h"
#include "views/StripGeometry.h"

ChannelWnd::ChannelWnd(QWidget* parent) : QWidget(parent), clock_(SteadyMs) {
    setObjectName(QStringLiteral("ChannelWnd"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    scrollBar_ = new QScrollBar(Qt::Horizontal, this);
    scrollBar_->setRange(0, ScrollPositions);
    scrollBar_->setPageStep(1);
    scrollBar_->setSingleStep(1);
    connect(scrollBar_, &QScrollBar::valueChanged, this, &ChannelWnd::OnScrolled);
}

void ChannelWnd::SetClock(std::function<int64_t()> clock) {
    clock_ = std::move(clock);
}

void ChannelWnd::AddStrip() {
    Channel* channel = Mixer->AddChannel();
    auto* strip = new ChannelStrip(channel, this);
    strips_.push_back(strip);
    connect(strip, &ChannelStrip::SoloChanged, this, &ChannelWnd::OnSoloChanged);
    connect(strip, &ChannelStrip::RefreshRequested, this, &ChannelWnd::RefreshRequested);
    connect(strip, &ChannelStrip::FxSetupRequested, this,
            [this, strip] { emit FxSetupRequested(strip); });
    connect(strip, &ChannelStrip::InfoRequested, this,
            [this, strip] { emit InfoRequested(strip); });
    PlaceStrips();
    strip->Refresh(false, position_ - span_ / 2, position_ + span_ / 2);
    strip->show();
    update();
}

ChannelStrip* ChannelWnd::Strip(int index) const {
    return index >= 0 && index < StripCount() ? strips_[static_cast<size_t>(index)] : nullptr;
}

void ChannelWnd::SetSpan(int ms) {
    span_ = ms;
    SetPlayPosition(position_);
}

void ChannelWnd::SetPlayPosition(int ms) {
    position_ = ms;
    for (ChannelStrip* strip : strips_)
        strip->Refresh(false, position_ - span_ / 2, position_ + span_ / 2);
}

void ChannelWnd::ReloadAll() {
    for (ChannelStrip* strip : strips_)
        strip->Refresh(true, position_ - span_ / 2, position_ + span_ / 2);
    SetPlayPosition(position_);
}

void ChannelWnd::StoreNames() {
    for (ChannelStrip* strip : strips_)
        strip->StoreName();
}

int ChannelWnd::FileViewHeight() const {
    // From the row's size rather than the file view's: a row laid out before it is shown
    // places its strips only when it is shown.
    return strips_.empty()
               ? 0
               : strips_.front()->GeometryFor(QSize(StripWidth, StripsHeight())).fileView.height();
}

void ChannelWnd::FillCardLists(const std::list<std::string>& names) {
    for (ChannelStrip* strip : strips_)
        strip->FillCardList(names);
}

void ChannelWnd::OnSoloChanged(int, int change) {
    if (change == ChannelStrip::SoloDown)
        ++soloCount_;
    else if (change == ChannelStrip::SoloUp)
        --soloCount_;
    for (ChannelStrip* strip : strips_)
        strip->SetSoloAllowed(soloCount_ <= 0);
}

void ChannelWnd::UpdateMeters(bool playing) {
    const bool recording = Mixer && Mixer->IsRecording_b();
    const bool blinkOn = !recording || (clock_() / BlinkMs) % 2 == 0;
    for (ChannelStrip* strip : strips_)
        strip->UpdateMeter(playing, blinkOn);
}

ChannelStrip* ChannelWnd::MuteTarget(int id) const {
    if (id < CommandIds::MuteFirst || id > CommandIds::MuteLast)
        return nullptr;
    return Strip(id - CommandIds::MuteFirst);
}

bool ChannelWnd::HandlesCommand(int id) const {
    return MuteTarget(id) != nullptr;
}

bool ChannelWnd::OnCommand(int id) {
    ChannelStrip* strip = MuteTarget(id);
    if (!strip)
        return false;
    strip->ToggleMute();
    return true;
}

int ChannelWnd::StripsHeight() const {
    return std::max(0, height() - scrollBar_->sizeHint().height());
}

void ChannelWnd::PlaceStrips() {
    const int stripsHeight = StripsHeight();
    scrollBar_->setGeometry(0, stripsHeight, width(), height() - stripsHeight);
    for (int i = 0; i < StripCount(); ++i) {
        ChannelStrip* strip = strips_[static_cast<size_t>(i)];
        strip->setGeometry((i - firstVisible_) * StripWidth, 0, StripWidth, stripsHeight);
        strip->PlaceControls();
    }
}

void ChannelWnd::resizeEvent(QResizeEvent* event) {
    PlaceStrips();
    QWidget::resizeEvent(event);
}

void ChannelWnd::OnScrolled(int position) {
    firstVisible_ = position;
    PlaceStrips();
    update();
}

void ChannelWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int emptyFrom = std::max(0, (StripCount() - firstVisible_) * StripWidth);
    painter.fillRect(QRect(emptyFrom, 0, width() - emptyFrom, StripsHeight()), palette().shadow());
}
