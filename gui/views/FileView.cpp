#include "views/FileView.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <exception>

#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "shell/EngineCall.h"
#include "tracks/Channel.h"
#include "views/ViewOptions.h"

FileView::FileView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FileView window"));
    setProperty("controlId", ControlId);
    setCursor(Qt::CrossCursor);
    // Every paint covers the whole view.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FileView::LoadChannel(Channel* channel) {
    blocks_.clear();
    peaks_ = nullptr;
    peakCount_ = 0;
    channel_ = channel;
    contentStale_ = true;
    update();
    if (!channel)
        return;
    std::vector<uint32_t> times;
    CallEngine([&] { channel->GetFileTimes_ms(times); });
    for (size_t i = 0; i + 1 < times.size(); i += 2) {
        FileBlock block;
        block.startMs = static_cast<int>(std::min<uint32_t>(times[i], INT32_MAX));
        block.endMs = static_cast<int>(std::min<uint32_t>(times[i + 1], INT32_MAX));
        blocks_.push_back(block);
    }
    if (ShowWaveform()) {
        CallEngine([&] {
            channel->BuildPeakData(10);
            unsigned char* peaks = nullptr;
            int count = 0;
            channel->GetPeakData(&peaks, &count);
            peaks_ = peaks;
            peakCount_ = peaks ? count : 0;
            msPerLevel_ = FileViewGeometry::LevelByteMs(Mixer ? Mixer->GetSampleRate() : 0);
        });
    }
    // Placed at once for the range shown now, so that a reload on its own shows the change.
    PlaceBlocks();
}

void FileView::SetRange(int fromMs, int toMs) {
    rangeStart_ = fromMs;
    rangeEnd_ = toMs;
    PlaceBlocks();
    update();
}

void FileView::ClearSelection() {
    if (selStart_ == selEnd_ || !channel_)
        return;
    Channel* channel = channel_;
    CallEngine(
        [&] { channel->ClearData(std::min(selStart_, selEnd_), std::max(selStart_, selEnd_)); });
    // Also after a failure: the track may have changed part way.
    LoadChannel(channel);
}

void FileView::PlaceBlocks() {
    for (FileBlock& block : blocks_)
        FileViewGeometry::PlaceBlock(block, rangeStart_, rangeEnd_, width(), height());
    contentStale_ = true;
}

FileViewScene FileView::Scene() const {
    FileViewScene scene;
    scene.size = size();
    scene.rangeStart = rangeStart_;
    scene.rangeEnd = rangeEnd_;
    scene.blocks = &blocks_;
    scene.peaks = peaks_;
    scene.peakCount = peakCount_;
    scene.msPerLevel = msPerLevel_;
    scene.showWaveform = ShowWaveform();
    scene.selStart = selStart_;
    scene.selEnd = selEnd_;
    return scene;
}

void FileView::paintEvent(QPaintEvent*) {
    const FileViewScene scene = Scene();
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(scene.size) * ratio).toSize();
    if (contentStale_ || contentShowsWaveform_ != scene.showWaveform || content_.size() != pixels ||
        content_.devicePixelRatio() != ratio) {
        content_ = QPixmap(pixels);
        content_.setDevicePixelRatio(ratio);
        QPainter painter(&content_);
        PaintFileViewContent(painter, scene, FileViewColours::FromPalette(palette()));
        contentStale_ = false;
        contentShowsWaveform_ = scene.showWaveform;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, content_);
    PaintFileViewMarks(painter, scene);
}

int FileView::SelectionTimeAt(int y) const {
    // Past the edges the selection stops at the edge rather than running on.
    const int row = std::clamp(y, 0, height());
    return std::max(0, FileViewGeometry::TimeOfRow(row, rangeStart_, rangeEnd_, height()));
}

void FileView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    selStart_ = SelectionTimeAt(event->position().toPoint().y());
    selEnd_ = selStart_;
    update();
}

void FileView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    selEnd_ = SelectionTimeAt(event->position().toPoint().y());
    update();
}

void FileView::resizeEvent(QResizeEvent* event) {
    PlaceBlocks();
    QWidget::resizeEvent(event);
}

void FileView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        contentStale_ = true;
    QWidget::changeEvent(event);
}
