#pragma once

#include <QPixmap>
#include <QWidget>
#include <vector>

#include "views/FileViewGeometry.h"
#include "views/FileViewPainter.h"

class Channel;

// The waveform area at the top of a track strip: for the time window the application view
// sets (time runs down, the play position at the middle row), the track's recorded pieces as
// framed blocks, its levels while ShowWaveform is set, the selection the user drags with the
// left button, and the play-position row. It never scrolls by itself.
//
// The picture of the pieces and levels is kept between paints and redrawn only when the range,
// the track, the size or the colours change; the selection and the position row go over it.
class FileView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int ControlId = 1510;

    explicit FileView(QWidget* parent = nullptr);

    // Re-reads channel's pieces (and, while ShowWaveform is set, its levels, building them
    // first) and remembers it; nullptr forgets the track. Engine errors are shown and leave the
    // view with what it could read.
    void LoadChannel(Channel* channel);
    // Shows [fromMs, toMs] from the top to the bottom edge.
    void SetRange(int fromMs, int toMs);
    // With a selection: clears its time span from the track and reloads it (engine errors
    // are shown). Without one: nothing.
    void ClearSelection();

    // The selection's ends in ms, in the order they were dragged; equal when nothing is
    // selected.
    int SelStart() const { return selStart_; }
    int SelEnd() const { return selEnd_; }

    int RangeStart() const { return rangeStart_; }
    int RangeEnd() const { return rangeEnd_; }
    Channel* LoadedChannel() const { return channel_; }
    const std::vector<FileBlock>& Blocks() const { return blocks_; }
    // The track's level array as last loaded (the engine's; null when not loaded).
    const unsigned char* Peaks() const { return peaks_; }
    int PeakCount() const { return peakCount_; }
    // How long one level byte lasts, in ms.
    double MsPerLevel() const { return msPerLevel_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void PlaceBlocks();
    FileViewScene Scene() const;
    // The time of the row under the pointer, never before the track's start.
    int SelectionTimeAt(int y) const;

    std::vector<FileBlock> blocks_;
    const unsigned char* peaks_ = nullptr;
    int peakCount_ = 0;
    double msPerLevel_ = 10.0;
    int selStart_ = 0;
    int selEnd_ = 0;
    Channel* channel_ = nullptr;
    int rangeStart_ = 0;
    int rangeEnd_ = 0;

    QPixmap content_;
    bool contentStale_ = true;
    bool contentShowsWaveform_ = false;
};
