#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "views/CommandTarget.h"

class ChannelStrip;
class QScrollBar;

// The row of track strips, side by side at StripWidth pixels each, scrolled a whole strip at a
// time by the scroll bar along its bottom; the area right of the last strip is dark. It holds
// the time window every strip shows (span ms centred on the play position), counts the
// soloed strips and tells every strip whether solo leaves it audible, and flips the mute of
// strip n on Ctrl+n.
class ChannelWnd : public QWidget, public CommandTarget {
    Q_OBJECT

  public:
    // The scroll bar's range: one position per track of a song.
    static constexpr int ScrollPositions = 16;
    // How long an armed record button stays lit, and dark, while recording.
    static constexpr int BlinkMs = 500;

    explicit ChannelWnd(QWidget* parent = nullptr);

    // Adds a track to the engine and a strip for it at the end of the row.
    void AddStrip();

    // The length of the time window, in ms; the strips follow at once.
    void SetSpan(int ms);
    int Span() const { return span_; }
    // The play position, in ms: the middle of every strip's time window.
    void SetPlayPosition(int ms);
    int PlayPosition() const { return position_; }
    // Every strip re-reads its track (pieces, levels, name, pan and volume).
    void ReloadAll();
    // Copies every strip's name field into its track's name (before a save).
    void StoreNames();
    // The height of the first strip's file view; 0 without strips.
    int FileViewHeight() const;
    // The active cards' names for every strip's card list.
    void FillCardLists(const std::list<std::string>& names);

    int StripCount() const { return static_cast<int>(strips_.size()); }
    ChannelStrip* Strip(int index) const;
    // The index of the strip at the left edge.
    int FirstVisible() const { return firstVisible_; }
    int SoloCount() const { return soloCount_; }
    QScrollBar* ScrollBar() const { return scrollBar_; }

    // One tick of the view's meter timer: the strips' level panels, and the blinking of the
    // armed record buttons while the engine records.
    void UpdateMeters(bool playing);
    // The clock the blinking follows (ms, never going back); a steady clock unless a test
    // gives its own.
    void SetClock(std::function<int64_t()> clock);

    bool HandlesCommand(int id) const override;
    bool OnCommand(int id) override;

  signals:
    // A strip changed its track's audio: the view refreshes the position (with reload).
    void RefreshRequested(bool reload);
    void FxSetupRequested(ChannelStrip* strip);
    void InfoRequested(ChannelStrip* strip);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void PlaceStrips();
    void OnScrolled(int position);
    void OnSoloChanged(int index, int change);
    int StripsHeight() const;
    ChannelStrip* MuteTarget(int id) const;

    std::vector<ChannelStrip*> strips_;
    QScrollBar* scrollBar_;
    int firstVisible_ = 0;
    int soloCount_ = 0;
    int span_ = 0;
    int position_ = 0;
    std::function<int64_t()> clock_;
};
