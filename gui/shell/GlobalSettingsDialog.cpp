#include "shell/GlobalSettingsDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <list>
#include <string>

#include "core/PalkMixer.h"
#include "resources/Strings.h"
#include "shell/CardsInfo.h"
#include "shell/DialogButtons.h"
#include "shell/DialogUnits.h"
#include "shell/EngineCall.h"
#include "shell/FieldExchange.h"
#include "shell/FileDialogs.h"
#include "shell/MessageBoxes.h"
#include "soundcard/SoundCard.h"

namespace {

constexpr std::array<int, 5> OfferedRates = {11025, 22050, 32000, 44100, 48000};
constexpr const char* RateNames[] = {"11 025 Hz", "22 050 Hz", "32 kHz", "44 100 Hz", "48 000 Hz"};
// The selection fields hold the lists 1013, 1014, 1015, 1016 in this order.
constexpr std::array<int, 4> SelectionFieldIds = {1013, 1014, 1015, 1016};

QLineEdit* NumberEdit(int id, bool signedNumber, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setProperty("controlId", id);
    // Digits only; the lag may also take a sign.
    const QString pattern = signedNumber ? QStringLiteral("[-+]?[0-9]*") : QStringLiteral("[0-9]*");
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    return edit;
}

}  // namespace

int GlobalSettingsDialog::RateForIndex(int index) {
    if (index < 0 || index >= static_cast<int>(OfferedRates.size()))
        return 44100;
    return OfferedRates[static_cast<size_t>(index)];
}

int GlobalSettingsDialog::IndexForRate(long rate, int current) {
    for (size_t i = 0; i < OfferedRates.size(); ++i)
        if (OfferedRates[i] == rate)
            return static_cast<int>(i);
    return current;
}

size_t GlobalSettingsDialog::SelectionFieldOf(int slot) {
    const int id = CardSlotIds[static_cast<size_t>(slot)];
    for (size_t i = 0; i < SelectionFieldIds.size(); ++i)
        if (SelectionFieldIds[i] == id)
            return i;
    return 0;
}

GlobalSettingsDialog::GlobalSettingsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Global Settings"));
    setObjectName(QStringLiteral("GlobalSettingsDialog"));

    auto* cards = new QGroupBox(QStringLiteral("Soundcards"), this);
    auto* cardsLayout = new QVBoxLayout(cards);
    for (int slot = 0; slot < CardSlots; ++slot) {
        auto* list = new QComboBox(cards);
        list->setProperty("controlId", CardSlotIds[static_cast<size_t>(slot)]);
        // Device names can be long; the open list shows them whole.
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setMinimumContentsLength(20);
        cardLists_[static_cast<size_t>(slot)] = list;
        cardsLayout->addWidget(list);
    }
    cardsInfo_ = DialogButton(QStringLiteral("Cards info"), CardsInfoId, cards);
    cardsLayout->addWidget(cardsInfo_, 0, Qt::AlignLeft);

    auto* rateBox = new QGroupBox(QStringLiteral("Sample rate"), this);
    auto* rateLayout = new QVBoxLayout(rateBox);
    rates_ = new QButtonGroup(this);
    for (size_t i = 0; i < RateIds.size(); ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(RateNames[i]), rateBox);
        radio->setProperty("controlId", RateIds[i]);
        rates_->addButton(radio, static_cast<int>(i));
        rateLayout->addWidget(radio);
    }
    rateLayout->addStretch();

    midiFileEdit_ = new QLineEdit(this);
    midiFileEdit_->setProperty("controlId", MidiFileId);
    browse_ = DialogButton(QStringLiteral("Browse.."), BrowseId, this);

    auto* note =
        new QLabel(QStringLiteral("Note: Geek options are cool, but restart after setting!"), this);
    note->setWordWrap(true);

    auto* geek = new QGroupBox(QStringLiteral("Geek options"), this);
    auto* geekLayout = new QGridLayout(geek);
    fileCacheEdit_ = NumberEdit(FileCacheId, false, geek);
    bufferSizeEdit_ = NumberEdit(BufferSizeId, false, geek);
    bufferCountEdit_ = NumberEdit(BufferCountId, false, geek);
    lagEdit_ = NumberEdit(RecordingLagId, true, geek);
    const auto addRow = [&](int row, const char* label, QLineEdit* edit, const char* unit) {
        geekLayout->addWidget(new QLabel(QString::fromLatin1(label), geek), row, 0);
        geekLayout->addWidget(edit, row, 1);
        if (unit)
            geekLayout->addWidget(new QLabel(QString::fromLatin1(unit), geek), row, 2);
    };
    addRow(0, "File cache", fileCacheEdit_, "kB");
    addRow(1, "Buffer size", bufferSizeEdit_, "kB");
    addRow(2, "Buffer count", bufferCountEdit_, nullptr);
    addRow(3, "Recording lag", lagEdit_, nullptr);
    reloadPlugins_ = DialogButton(QStringLiteral("Reload plugins"), ReloadPluginsId, geek);
    // Plug-ins are loaded at start; reloading them under a song that uses them is not offered.
    reloadPlugins_->setEnabled(false);
    geekLayout->addWidget(reloadPlugins_, 4, 0, 1, 3, Qt::AlignLeft);

    QDialogButtonBox* buttons = OkCancelButtons(*this, Qt::Vertical);

    auto* layout = new QGridLayout(this);
    layout->addWidget(cards, 0, 0);
    layout->addWidget(rateBox, 0, 1);
    layout->addWidget(buttons, 0, 2, Qt::AlignTop);
    auto* midiRow = new QHBoxLayout;
    midiRow->addWidget(new QLabel(QStringLiteral("Midi-file:"), this));
    midiRow->addWidget(midiFileEdit_, 1);
    midiRow->addWidget(browse_);
    layout->addLayout(midiRow, 1, 0, 1, 3);
    layout->addWidget(note, 2, 0, 1, 3);
    layout->addWidget(geek, 3, 0, 1, 2);
    layout->setRowStretch(4, 1);

    ResizeInDialogUnits(*this, 222, 250);

    connect(browse_, &QPushButton::clicked, this, &GlobalSettingsDialog::Browse);
    connect(cardsInfo_, &QPushButton::clicked, this, &GlobalSettingsDialog::ShowCardsInfo);
    connect(reloadPlugins_, &QPushButton::clicked, this, &GlobalSettingsDialog::ReloadPlugins);
}

QLineEdit* GlobalSettingsDialog::Edit(int id) const {
    for (QLineEdit* edit :
         {midiFileEdit_, fileCacheEdit_, bufferSizeEdit_, bufferCountEdit_, lagEdit_})
        if (edit->property("controlId").toInt() == id)
            return edit;
    return nullptr;
}

QPushButton* GlobalSettingsDialog::Button(int id) const {
    for (QPushButton* button : findChildren<QPushButton*>())
        if (button->property("controlId").toInt() == id)
            return button;
    return nullptr;
}

int GlobalSettingsDialog::Run() {
    TransferFields(true);
    CallEngine([&] {
        sampleRateIndex = IndexForRate(Mixer->GetSampleRate(), sampleRateIndex);
        midiFile = QString::fromStdString(Mixer->MidiFile);
        recordingLag = SoundCard::GetLagTime();
    });
    TransferFields(true);
    FillCardLists();
    return exec();
}

void GlobalSettingsDialog::FillCardLists() {
    std::list<std::string> devices;
    CallEngine([&] { GetAllSoundCards(devices); });
    for (int slot = 0; slot < CardSlots; ++slot) {
        QComboBox* list = CardList(slot);
        list->clear();
        list->addItem(QStringLiteral("<none>"));
        for (const std::string& device : devices)
            list->addItem(QString::fromStdString(device));
        // Item d + 1 is device d: the devices come in device order.
        int item = 0;
        CallEngine([&] {
            if (SoundCard* card = Mixer->GetSoundcard(slot))
                item = card->DeviceId + 1;
        });
        list->setCurrentIndex(item < list->count() ? item : 0);
    }
}

bool GlobalSettingsDialog::TransferFields(bool toControls) {
    if (toControls) {
        midiFileEdit_->setText(midiFile);
        if (QAbstractButton* radio = rates_->button(sampleRateIndex)) {
            radio->setChecked(true);
        } else if (QAbstractButton* checked = rates_->checkedButton()) {
            rates_->setExclusive(false);
            checked->setChecked(false);
            rates_->setExclusive(true);
        }
        for (int slot = 0; slot < CardSlots; ++slot)
            CardList(slot)->setCurrentIndex(cardSelections[SelectionFieldOf(slot)]);
        fileCacheEdit_->setText(QString::number(fileCache));
        bufferSizeEdit_->setText(QString::number(bufferSize));
        bufferCountEdit_->setText(QString::number(bufferCount));
        lagEdit_->setText(QString::number(recordingLag));
        return true;
    }
    // In field order; a field that fails stops the transfer, the ones before it are taken.
    midiFile = midiFileEdit_->text();
    sampleRateIndex = rates_->checkedId();
    for (int slot = 0; slot < CardSlots; ++slot)
        cardSelections[SelectionFieldOf(slot)] = CardList(slot)->currentIndex();
    return FieldExchange::ReadUnsigned(fileCacheEdit_->text(), fileCacheEdit_, 0, 200, fileCache) &&
           FieldExchange::ReadUnsigned(bufferSizeEdit_->text(), bufferSizeEdit_, 2, 100,
                                       bufferSize) &&
           FieldExchange::ReadUnsigned(bufferCountEdit_->text(), bufferCountEdit_, 2, 20,
                                       bufferCount) &&
           FieldExchange::ReadInt(lagEdit_->text(), lagEdit_, recordingLag);
}

void GlobalSettingsDialog::accept() {
    // An engine error from here on closes the dialog as cancelled: the caller then leaves the
    // buffers as they are.
    if (!CallEngine([] { Mixer->RemoveSoundcards(); })) {
        reject();
        return;
    }
    // The cards fill the engine's list from slot 0 on: a card below an empty slot would land
    // in the wrong place.
    bool gap = false;
    for (int slot = 0; slot < CardSlots; ++slot) {
        const int device = CardList(slot)->currentIndex() - 1;
        if (device < 0) {
            gap = true;
            continue;
        }
        if (gap) {
            MessageBoxes::Current().Show(
                QStringLiteral("You must select a card of a minor index first!"),
                QString::fromLatin1(Strings::AppTitle), MessageBoxes::Buttons::Ok);
            return;
        }
        if (!CallEngine([device] { Mixer->AddCard(static_cast<char>(device)); }))
            return;
    }
    if (!TransferFields(false))
        return;
    sampleRate = RateForIndex(sampleRateIndex);
    const std::string midi = midiFile.toStdString();
    const int32_t lag = recordingLag;
    if (!CallEngine([&] {
            Mixer->SetSampleRate(static_cast<unsigned>(sampleRate));
            Mixer->SetMidiFile(midi);
            SoundCard::SetLagTime(lag);
        })) {
        reject();
        return;
    }
    if (TransferFields(false))
        QDialog::accept();
}

void GlobalSettingsDialog::Browse() {
    // Qt's dialog leaves the current folder (the song's) as it is.
    const QString chosen = FileDialogs::Current().OpenFileName(
        this, QStringLiteral("MIDI sequencer (*.mid *.rmi);;All Files (*)"));
    if (chosen.isEmpty())
        return;
    midiFile = chosen;
    TransferFields(true);
}

void GlobalSettingsDialog::ShowCardsInfo() {
    MessageBoxes::Current().Show(CardsInfo::Text(), QString::fromLatin1(Strings::AppTitle),
                                 MessageBoxes::Buttons::Ok);
}

void GlobalSettingsDialog::ReloadPlugins() {
    CallEngine([] {
        Mixer->FreePlugins();
        Mixer->LoadPlugins(std::string());
    });
}
