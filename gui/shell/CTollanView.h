#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "views/CommandTarget.h"

class BuildMixDialog;
class ChannelStrip;
class ChannelWnd;
class NewSongDialog;
class TimeView;
class TransportPanel;

// The main window's working area: the row of track strips, the time ruler and the transport
// panel. It brings the engine up, turns the menu and key commands into engine calls, follows
// the play position every 100 ms, and keeps the song's own window state ("guisettings.struct").
class CTollanView : public QWidget, public CommandTarget {
    Q_OBJECT

  public:
    static constexpr int TimerInterval = 100;

    explicit CTollanView(QWidget* parent = nullptr);
    ~CTollanView() override;

    // Reads the engine's settings, creates the 16 strips, fills their card lists, creates the
    // transport panel and the ruler and starts the timer. Once, right after construction.
    void OnInitialUpdate();
    // Saves the song and the engine's settings, once, as the main window closes.
    void Shutdown();

    // Every strip re-reads its track when reload; then the time field, the strips and the
    // ruler follow the engine's position.
    void RefreshPosition(bool reload);

    // Songs.
    bool OpenSong(const QString& folder);
    // False when "guisettings.struct" could not be written (the song is then not saved).
    bool SaveSong();
    void NewSong();
    void OpenCommand();
    bool IsSongOpen() const { return songOpen_; }

    // Plays the song once, from the position to its end, through card into track (the bounce
    // of Build mix): the timer stops playback once the position passed the song's length.
    void StartBuildMix(int card, int track);
    int MixEnd() const { return mixEnd_; }
    // Build mix: asks for the card and the track, then StartBuildMix.
    void BuildMixCommand();
    // Settings: the "Global Settings" dialog with the engine's buffers; after OK the strips
    // offer the cards now open and the buffers are applied.
    void SettingsCommand();
    // A strip's fx button: its track's "FX Setup", modal.
    void FxSetupCommand(ChannelStrip* strip);
    // A strip's "Info...": its track's "Channel info", modal.
    void ChannelInfoCommand(ChannelStrip* strip);
    // The "Build Mix" dialog, made at its first use and kept for the program's run.
    BuildMixDialog& MixDialog();

    // The view's own commands, and the routing of every command: the row first, then the
    // transport panel, then the view.
    bool HandlesCommand(int id) const override;
    bool OnCommand(int id) override;
    bool RouteCommand(int id);
    bool IsCommandHandled(int id) const;

    // The timer's work, also for tests: refreshes while the play button is down, ends a
    // Build mix run, and moves the meters.
    void OnTimer();

    ChannelWnd* Row() const { return row_; }
    TransportPanel* Transport() const { return transport_; }
    TimeView* Ruler() const { return ruler_; }
    QTimer& Timer() { return timer_; }

    // The folder the Open command's browser starts at (the one chosen last).
    static QString LastSongFolder();
    // The "New Song" dialog, made at its first use.
    NewSongDialog& SongDialog();

  signals:
    // The "Show waveform" item's check mark is to be shown (true) or removed.
    void ShowWaveformChanged(bool shown);
    // A song folder was opened: the recent-song list changed.
    void RecentSongsChanged();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void LayOut();
    void Zoom(bool in);
    void GoTo(int64_t ms);
    void ToggleShowWaveform();
    void DrainEngineErrors();
    void SongIsOpen();
    void RestoreStripStates();

    ChannelWnd* row_ = nullptr;
    TransportPanel* transport_ = nullptr;
    TimeView* ruler_ = nullptr;
    int mixEnd_ = -1;
    QTimer timer_;
    bool songOpen_ = false;
    bool shutDown_ = false;
    QPointer<NewSongDialog> newSongDialog_;
    QPointer<BuildMixDialog> buildMixDialog_;
};

// The one application view, set at its initial update.
extern CTollanView* currentView;
