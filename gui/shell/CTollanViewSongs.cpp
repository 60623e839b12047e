// The song commands of the application view: New, Open, Save and the window state the view
// keeps in the song folder.

#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "resources/Strings.h"
#include "shell/CTollanView.h"
#include "shell/EngineCall.h"
#include "shell/FileDialogs.h"
#include "shell/GuiSettingsFile.h"
#include "shell/MessageBoxes.h"
#include "shell/NewSongDialog.h"
#include "shell/RecentSongs.h"
#include "shell/StripStateFile.h"
#include "shell/WaitCursor.h"
#include "views/ChannelStrip.h"
#include "views/ChannelWnd.h"
#include "views/ExportedKnobsDialog.h"
#include "views/TransportPanel.h"

namespace {

QString lastSongFolder;

void ShowMessage(const QString& text) {
    MessageBoxes::Current().Show(text, QString::fromUtf8(Strings::AppTitle),
                                 MessageBoxes::Buttons::Ok);
}

}  // namespace

QString CTollanView::LastSongFolder() {
    return lastSongFolder;
}

void CTollanView::OpenCommand() {
    if (FileDialogs::Current().ChooseFolder(lastSongFolder, this,
                                            QStringLiteral("Open a song?\nChoose the directory "
                                                           "containing it!")))
        OpenSong(lastSongFolder);
}

void CTollanView::SongIsOpen() {
    songOpen_ = true;
    // Knobs left open belong to the effects of the song before, which its tracks no longer hold.
    for (ExportedKnobsDialog* knobs : window()->findChildren<ExportedKnobsDialog*>())
        knobs->close();
    transport_->EnableTransport();
    // The song's tracks may sit on other cards than the ones before.
    std::list<std::string> cards;
    CallEngine([&] { Mixer->GetActiveSoundcards(cards); });
    row_->FillCardLists(cards);
    row_->ReloadAll();
    // The keys are commands again: Space plays the song just opened.
    setFocus();
}

bool CTollanView::OpenSong(const QString& folder) {
    {
        WaitCursor wait;
        if (!CallEngine([&] { Mixer->LoadProject(folder.toLocal8Bit().constData()); }))
            return false;
        SongIsOpen();
        RestoreStripStates();
        RecentSongs::Add(folder);
        emit RecentSongsChanged();
    }
    int32_t markers[2] = {0, 0};
    if (GuiSettingsFile::Read(QString::fromUtf8(GuiSettingsFile::Name), markers)) {
        for (int i = 0; i < 2; ++i)
            transport_->SetMarker(i, markers[i]);
    } else {
        ShowMessage(QStringLiteral("Couldn't load gui settings."));
    }
    DrainEngineErrors();
    RefreshPosition(false);
    return true;
}

bool CTollanView::SaveSong() {
    // Without a song there is nothing to save, and no folder of the user's to write into.
    if (!songOpen_)
        return true;
    const int32_t markers[2] = {transport_->GetMarker(0), transport_->GetMarker(1)};
    QString error;
    if (!GuiSettingsFile::Write(QString::fromUtf8(GuiSettingsFile::Name), markers, error)) {
        ShowMessage(error);
        return false;
    }
    std::vector<unsigned char> states;
    for (int i = 0; i < row_->StripCount(); ++i) {
        const ChannelStrip* strip = row_->Strip(i);
        states.push_back(
            static_cast<unsigned char>((strip->IsMuted() ? StripStateFile::Muted : 0) |
                                       (strip->IsSoloed() ? StripStateFile::Soloed : 0)));
    }
    if (!StripStateFile::Write(QString::fromUtf8(StripStateFile::Name), states))
        ShowMessage(QStringLiteral("An unexpected error occurred while writing %1.")
                        .arg(QString::fromUtf8(StripStateFile::Name)));
    row_->StoreNames();
    CallEngine([] { Mixer->SaveProject(); });
    return true;
}

void CTollanView::RestoreStripStates() {
    // A song saved without the file opens with every strip playing.
    const std::vector<unsigned char> states =
        StripStateFile::Read(QString::fromUtf8(StripStateFile::Name));
    auto stateOf = [&](int i) {
        return i < static_cast<int>(states.size()) ? states[static_cast<size_t>(i)] : 0;
    };
    // Solos off first, so that every mute button takes its state; then the solos.
    for (int i = 0; i < row_->StripCount(); ++i)
        row_->Strip(i)->SetSoloed(false);
    for (int i = 0; i < row_->StripCount(); ++i)
        row_->Strip(i)->SetMuted(stateOf(i) & StripStateFile::Muted);
    for (int i = 0; i < row_->StripCount(); ++i)
        row_->Strip(i)->SetSoloed(stateOf(i) & StripStateFile::Soloed);
}

NewSongDialog& CTollanView::SongDialog() {
    if (!newSongDialog_)
        newSongDialog_ = new NewSongDialog(this);
    return *newSongDialog_;
}

void CTollanView::NewSong() {
    const QString location = SongDialog().AskLocation();
    if (location.isEmpty())
        return;
    if (!CallEngine([&] { Mixer->NewProject(location.toLocal8Bit().constData()); }))
        return;
    SongIsOpen();
}
