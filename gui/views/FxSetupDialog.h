#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <string>
#include <vector>

class Channel;
class ExportedKnobsDialog;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// "FX Setup": a track's chain of effects. "Available" lists the loaded plug-ins the track does
// not have, "Active" the track's chain in order. "->" (or a double click in "Available") puts
// the selected plug-in on the track, "<-" takes the selected one off; a double click in
// "Active" opens the plug-in's knobs ("Exported knobs", owned by this dialog's parent so that
// it stays open after this one closes) or, for a plug-in without knobs, its own setup. Every
// change reaches the engine at once; OK and Cancel only close the dialog.
class FxSetupDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int ActiveId = 1041;
    static constexpr int AvailableId = 1042;
    static constexpr int AddId = 1043;
    static constexpr int RemoveId = 1044;

    FxSetupDialog(Channel* channel, QWidget* parent = nullptr);
    ~FxSetupDialog() override;

    QListWidget* Available() const { return available_; }
    QListWidget* Active() const { return active_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* RemoveButton() const { return remove_; }
    QPushButton* OkButton() const { return ok_; }
    // The knobs dialogs opened from here that are still open.
    QList<ExportedKnobsDialog*> OpenedKnobs() const;

    // The names of a list, top to bottom.
    static QStringList Names(const QListWidget& list);

  public slots:
    void done(int result) override;

  private:
    void Fill();
    void AddSelected();
    void RemoveSelected();
    void OpenSettings(QListWidgetItem* item);
    // Puts name back into "Available" at its place in the plug-ins' load order.
    void ReturnToAvailable(const QString& name);
    // The knobs dialogs go back to their owner's window once this one closes.
    void HandKnobsToOwner();
    // Moves a knobs dialog beside this one, where it leaves the lists and arrows free, a step
    // down and right of the last when several are open; on the left when the right has no room.
    void PlaceBeside(QWidget& knobs) const;
    // Closes the knobs dialogs of plug-in name on this track.
    void CloseKnobsOf(const QString& name);

    Channel* const channel_;
    QListWidget* available_;
    QListWidget* active_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* ok_;
    // Every loaded plug-in, in load order.
    std::vector<std::string> loaded_;
    QList<QPointer<ExportedKnobsDialog>> knobs_;
};
