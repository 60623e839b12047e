#pragma once

#include <QWidget>

#include "views/CommandTarget.h"

class MarkerButton;
class QPushButton;
class QTimer;
class TimeEdit;

// The small window of the application view that starts and stops playback and recording, winds
// the position while "<<" or ">>" is held, jumps to the start and to two markers, loops from
// marker 1 back to marker 0, switches the automation mode and shows and takes the position as
// text. It reaches the engine only through Mixer, and asks the view to refresh after every move
// it makes.
//
// Its buttons never take the keyboard focus: Space, R and Escape stay the main window's
// commands, and a click leaves the focus where it was (the time field keeps it for typing).
class TransportPanel : public QWidget, public CommandTarget {
    Q_OBJECT
    Q_PROPERTY(int controlId READ ControlId CONSTANT)

  public:
    // The ids of the panel and its controls, as their controlId properties carry them.
    enum Id {
        PanelId = 135,
        TimeFieldId = 1023,
        PlayId = 1021,
        RecId = 1030,
        ToStartId = 1027,
        WindBackId = 1028,
        WindForwardId = 1029,
        SetId = 1022,
        Marker0Id = 1018,
        Marker1Id = 1019,
        LoopId = 109,
        ProgramId = 1020,
    };
    // How far one timer tick winds while "<<" or ">>" is held.
    static constexpr int WindStep = 500;
    static constexpr int TickMs = 100;

    explicit TransportPanel(QWidget* parent = nullptr);

    int ControlId() const { return PanelId; }

    // Shows ms in the time field and moves the engine there. A move while recording ends the
    // take (the engine plays on from there): "Rec" comes up and the strips reload to show it.
    void GoTo(unsigned ms);
    // Starts playback (">" down, captioned "[]") or stops it and recording (both buttons up,
    // ">" captioned ">"). A start the engine refuses is shown and leaves ">" up.
    void SetPlaying(bool on);

    // Marker 0 or 1 (any other index throws InternalError "cant find button!"). A time of -1
    // unsets the marker and disables its button.
    void SetMarker(int index, int ms);
    int GetMarker(int index) const;

    // Enables ">" and "Rec": there is a song to play.
    void EnableTransport();
    bool IsPlayDown() const;
    TimeEdit* TimeField() const { return timeField_; }

    // 32830 (the R key): "Rec" goes down and records.
    bool HandlesCommand(int id) const override;
    bool OnCommand(int id) override;

    // What the panel's timer does every 100 ms: the loop jump, then the wind while a wind
    // button is held.
    void Tick();

  signals:
    // The view refreshes its windows from the engine's position; with reload the strips also
    // reload their tracks (after a stop, so that new takes show).
    void RefreshRequested(bool reload);
    // Playback was stopped here: a pending automatic stop is void.
    void Stopped();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // Moves the engine to ms and has the view refresh, reloading the strips when that ended a
    // take.
    void MoveTo(unsigned ms);

    QPushButton* AddButton(const QString& caption, int id, const char* name, bool checkable);
    void PlaceControls();
    MarkerButton* Marker(int index) const;
    // Each marker's button enabled by its own marker, or both while markers are being set.
    void ApplyMarkerEnabling();

    void OnPlay();
    void OnRec();
    void OnSet();
    void OnMarker(int index);
    void OnProgram();

    TimeEdit* timeField_;
    QPushButton* play_;
    QPushButton* rec_;
    QPushButton* toStart_;
    QPushButton* windBack_;
    QPushButton* windForward_;
    QPushButton* set_;
    MarkerButton* markers_[2];
    QPushButton* loop_;
    QPushButton* program_;
    QTimer* timer_;
};
