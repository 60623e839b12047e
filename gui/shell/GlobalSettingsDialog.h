#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;

// "Global Settings": the sound cards (four slots), the sample rate, the MIDI file that plays
// along, the recording lag and the engine's buffering. Made anew for every use: Run reads the
// current values from the engine, and OK applies them with a fixed sequence of engine calls.
// The buffer fields are the caller's: it fills them before Run and applies them after OK.
//
// Values live in the fields below and are moved to and from the controls by TransferFields,
// which validates on the way back; Browse puts the fields back into the controls.
class GlobalSettingsDialog : public QDialog {
    Q_OBJECT

  public:
    // Control ids.
    static constexpr int MidiFileId = 1000;
    static constexpr int CardsInfoId = 1036;
    static constexpr int BrowseId = 1026;
    static constexpr int FileCacheId = 1048;
    static constexpr int BufferSizeId = 1049;
    static constexpr int BufferCountId = 1050;
    static constexpr int ReloadPluginsId = 1051;
    static constexpr int RecordingLagId = 1056;
    // The card lists, slot 0 (top) to slot 3, and the radio buttons of the rates.
    static constexpr std::array<int, 4> CardSlotIds = {1016, 1013, 1014, 1015};
    static constexpr std::array<int, 5> RateIds = {1017, 1023, 1027, 1028, 1029};
    static constexpr int CardSlots = 4;

    // The rates offered, by radio index; an index not offered gives 44100.
    static int RateForIndex(int index);
    // The radio index of rate; a rate not offered leaves current.
    static int IndexForRate(long rate, int current);

    explicit GlobalSettingsDialog(QWidget* parent = nullptr);

    // Fills the dialog from the engine and shows it; the QDialog result.
    int Run();

    // Fields.
    QString midiFile;
    int32_t sampleRateIndex = 2;
    // The selections of the card lists 1013, 1014, 1015 and 1016, in that order.
    std::array<int32_t, 4> cardSelections = {-1, -1, -1, -1};
    uint32_t fileCache = 0;   // kB
    uint32_t bufferSize = 0;  // units of 1024 frames
    uint32_t bufferCount = 0;
    int32_t recordingLag = 0;  // frames
    int32_t sampleRate = 0;    // Hz, set on OK

    // Moves the fields to the controls (toControls) or back with validation; false when a
    // field failed (its message has been shown).
    bool TransferFields(bool toControls);

    QComboBox* CardList(int slot) const { return cardLists_[static_cast<size_t>(slot)]; }
    QLineEdit* Edit(int id) const;
    QPushButton* Button(int id) const;
    QButtonGroup* Rates() const { return rates_; }

  public slots:
    // OK: the sequence that applies the dialog to the engine.
    void accept() override;

  private:
    void Browse();
    void ShowCardsInfo();
    void ReloadPlugins();
    void FillCardLists();
    // The index of cardSelections that holds the selection of slot's list.
    static size_t SelectionFieldOf(int slot);

    std::array<QComboBox*, 4> cardLists_{};
    QButtonGroup* rates_ = nullptr;
    QLineEdit* midiFileEdit_ = nullptr;
    QLineEdit* fileCacheEdit_ = nullptr;
    QLineEdit* bufferSizeEdit_ = nullptr;
    QLineEdit* bufferCountEdit_ = nullptr;
    QLineEdit* lagEdit_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* cardsInfo_ = nullptr;
    QPushButton* reloadPlugins_ = nullptr;
};
