#pragma once

#include <QWidget>
#include <list>
#include <memory>
#include <string>

#include "views/StripGeometry.h"

class Channel;
class FileView;
class GuiButton;
class LedDisplay;
class PanControl;
class QComboBox;
class QLineEdit;
class QMenu;
class QMimeData;
class VolumeControl;

// One track's strip in the row: its file view at the top, its name, the card it plays on, its
// mute, solo, fx and record buttons, its pan knob, its fader and its level panel. Every action
// on a control becomes one call of the track's engine Channel (through CallEngine, so that an
// engine error is shown and the strip stays as it was); the strip never touches audio itself.
// It does not own its channel: the engine does, and outlives it.
//
// What concerns the whole row goes to it as signals: solo changes (the row counts the soloed
// strips and tells every strip whether solo leaves it audible), a refresh of every strip after
// the track's audio changed, and the dialogs of its fx button and of "Info...".
class ChannelStrip : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int controlId READ ControlId CONSTANT)

  public:
    static constexpr int Id = 1500;
    static constexpr int FxButtonId = 1503;
    static constexpr int CardListId = 1505;
    static constexpr int RecButtonId = 1506;
    static constexpr int MuteButtonId = 1507;
    static constexpr int SoloButtonId = 1508;
    static constexpr int NameEditId = 1509;
    // A track's name as the song stores it: at most 29 bytes of UTF-8.
    static constexpr int MaxNameBytes = 29;
    // The longest dropped path the strip imports.
    static constexpr int MaxDroppedPathLength = 300;

    // What SoloChanged says.
    enum SoloChange { SoloDown = 0, SoloUp = 1, SoloReapply = 2 };

    ChannelStrip(Channel* channel, QWidget* parent);
    ~ChannelStrip() override;

    Channel* GetChannel() const { return channel_; }
    int ControlId() const { return Id; }

    // Shows the track's pan and volume (its recorded values while ProgramMode is on, else its
    // offsets; a knob or fader being dragged stays where the hand holds it) and the time window
    // [fromMs, toMs]; with reload it first re-reads the track's pieces, levels and name.
    void Refresh(bool reload, int fromMs, int toMs);
    // After any solo change in the row: allowed when no strip is soloed. While not allowed,
    // every strip but a soloed one is silenced and its mute button disabled; once allowed
    // again, the mute buttons come back and the unmuted tracks play. A track without a card
    // stays silenced either way.
    void SetSoloAllowed(bool allowed);
    // The names of the active cards, the track's card selected. A track whose card is not among
    // them shows none, cannot be soloed and is silenced.
    void FillCardList(const std::list<std::string>& names);
    // One tick of the view's meter timer: the level panel shows the track's level while
    // playing (the card's input level while the track is armed), else 0. An armed strip's
    // record button is lit while blinkOn, else shows its off face.
    void UpdateMeter(bool playing, bool blinkOn);
    // Flips the mute button, as a click on it does (nothing while it is disabled: a track
    // silenced by another's solo stays silent).
    void ToggleMute();
    // Sets the mute and solo buttons as clicks on them would (nothing for a disabled one).
    void SetMuted(bool muted);
    void SetSoloed(bool soloed);
    // Copies the name field into the track's name.
    void StoreName();
    QString NameText() const;

    // The context menu of the strip, its actions carrying their command ids as data; triggering
    // one runs its command. The right button shows it at the pointer.
    std::unique_ptr<QMenu> ContextMenu();
    // Runs a command of the context menu; false for an id that is none of them.
    bool RunCommand(int id);
    // Imports the WAV file at path at the play position, then shows the track afresh and asks
    // the row to refresh every strip.
    void ImportFile(const QString& path);

    // Puts the controls where the strip's size wants them. A resize does it; the row also asks
    // for it at once, since a hidden strip gets its resize only when it is shown.
    void PlaceControls();
    // Where the controls go in a strip of size.
    StripGeometry GeometryFor(QSize size) const;

    bool IsMuted() const;
    bool IsSoloed() const;
    bool IsArmed() const;
    // Whether the track's card is among the active cards.
    bool HasCard() const { return hasCard_; }

    GuiButton* FxButton() const { return fxButton_; }
    GuiButton* RecButton() const { return recButton_; }
    GuiButton* MuteButton() const { return muteButton_; }
    GuiButton* SoloButton() const { return soloButton_; }
    QComboBox* CardList() const { return cardList_; }
    QLineEdit* NameEdit() const { return nameEdit_; }
    FileView* GetFileView() const { return fileView_; }
    PanControl* GetPanControl() const { return panControl_; }
    VolumeControl* GetVolumeControl() const { return volumeControl_; }
    LedDisplay* LevelPanel() const { return levelPanel_; }

  signals:
    // index is the track's; change a SoloChange.
    void SoloChanged(int index, int change);
    void RefreshRequested(bool reload);
    void FxSetupRequested();
    void InfoRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowVolPan();
    void ShowCard();
    void ShowArmed();
    void Enable(bool on);
    void Silence();
    bool HasSelection() const;

    // A notification of the pan knob or (isVolume) the fader.
    void OnMove(bool isVolume, int code, int value);
    void SendOffsets();
    void OnRecClicked();
    void OnMuteClicked();
    void OnSoloClicked();
    void OnCardChosen(int index);

    void ClearTrack();
    void ClearProgram(bool isVolume);
    void ExportWav();
    void ImportWav();
    void FadeOut();

    // The local file a drop carries that the strip imports; empty when none.
    static QString DroppedPath(const QMimeData* data);

    Channel* const channel_;
    GuiButton* fxButton_;
    GuiButton* recButton_;
    GuiButton* muteButton_;
    GuiButton* soloButton_;
    QComboBox* cardList_;
    QLineEdit* nameEdit_;
    FileView* fileView_;
    PanControl* panControl_;
    VolumeControl* volumeControl_;
    LedDisplay* levelPanel_;
    int lastPan_ = 0;
    int lastVolume_ = 75;
    bool hasCard_ = true;
    bool recLit_ = true;
};
