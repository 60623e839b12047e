#include "shell/NewSongDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/DialogButtons.h"
#include "shell/DialogUnits.h"
#include "shell/FileDialogs.h"

NewSongDialog::NewSongDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("New Song"));
    setObjectName(QStringLiteral("NewSongDialog"));

    auto* text =
        new QLabel(QStringLiteral("U wanna create a new song?\nJust select a nice directory "
                                  "with the browse button and type in a song name!"),
                   this);
    text->setWordWrap(true);
    location_ = new QLineEdit(this);
    location_->setProperty("controlId", LocationId);
    songName_ = new QLineEdit(this);
    songName_->setProperty("controlId", SongNameId);
    browse_ = new QPushButton(QStringLiteral("Browse..."), this);
    browse_->setProperty("controlId", BrowseId);
    browse_->setAutoDefault(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(text, 0, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Location:"), this), 1, 0, 1, 2);
    layout->addWidget(location_, 2, 0);
    layout->addWidget(browse_, 2, 1);
    layout->addWidget(new QLabel(QStringLiteral("Song name:"), this), 3, 0, 1, 2);
    layout->addWidget(songName_, 4, 0);
    QDialogButtonBox* buttons = OkCancelButtons(*this, Qt::Horizontal, &ok_);
    ok_->setEnabled(false);
    layout->addWidget(buttons, 5, 0, 1, 2);

    ResizeInDialogUnits(*this, 186, 95);

    connect(songName_, &QLineEdit::textEdited, this, &NewSongDialog::SongNameChanged);
    connect(browse_, &QPushButton::clicked, this, &NewSongDialog::Browse);
}

QString NewSongDialog::Location() const {
    return location_->text();
}

QString NewSongDialog::AskLocation() {
    location_->setText(baseFolder_);
    songName_->clear();
    ok_->setEnabled(false);
    songName_->setFocus();
    if (exec() != QDialog::Accepted)
        return {};
    return location_->text();
}

void NewSongDialog::SongNameChanged() {
    const QString name = songName_->text();
    location_->setText(baseFolder_ + name);
    // A name alone is not a place: a folder must have been chosen first.
    ok_->setEnabled(!name.isEmpty() && name.size() != location_->text().size());
}

void NewSongDialog::Browse() {
    if (!FileDialogs::Current().ChooseFolder(baseFolder_, this, QStringLiteral("choose dir")))
        return;
    if (!baseFolder_.endsWith(QLatin1Char('/')))
        baseFolder_ += QLatin1Char('/');
    location_->setText(baseFolder_ + songName_->text());
}
