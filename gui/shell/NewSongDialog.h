#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

// "New Song": a folder chosen with Browse and a song name make the location of the new song.
// OK is offered once a name is typed after a folder was chosen; the location may also be
// typed directly. One dialog lives for the program's run, so the folder chosen last is where
// the next Browse starts.
class NewSongDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int LocationId = 1033;
    static constexpr int SongNameId = 1032;
    static constexpr int BrowseId = 1031;

    explicit NewSongDialog(QWidget* parent = nullptr);

    // Shows the dialog with the location at the last folder and no name; the location of the
    // new song, or an empty text when the user did not confirm.
    QString AskLocation();

    QString BaseFolder() const { return baseFolder_; }
    QString Location() const;
    QLineEdit* LocationEdit() const { return location_; }
    QLineEdit* SongNameEdit() const { return songName_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* BrowseButton() const { return browse_; }

  private:
    void SongNameChanged();
    void Browse();

    QString baseFolder_;
    QLineEdit* location_;
    QLineEdit* songName_;
    QPushButton* ok_;
    QPushButton* browse_;
};
