// Build mix from the menu: the "Build Mix" dialog's boxes, and a bounce of a song's tracks into
// another track that stops by itself at the song's end.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/EngineStatics.h"
#include "resources/CommandIds.h"
#include "shell/BuildMixDialog.h"
#include "shell/FieldExchange.h"
#include "shell/ProgramFixture.h"
#include "storage/SuperWaveFile.h"
#include "support/MixModel.h"
#include "support/RecordingMessageBoxes.h"
#include "support/Screenshots.h"
#include "tracks/WavFiles.h"

namespace {

QPushButton* OkButton(QDialog& dialog) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->property("controlId").toInt() == 1)
            return button;
    return nullptr;
}

// frames of noise within +-6000, 16-bit, channels wide.
std::string Noise(uint32_t seed, int frames, int channels) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> sample(-6000, 6000);
    std::string bytes;
    for (int i = 0; i < frames * channels; ++i) {
        const auto s = static_cast<int16_t>(sample(random));
        bytes += static_cast<char>(s & 0xff);
        bytes += static_cast<char>((s >> 8) & 0xff);
    }
    return bytes;
}

}  // namespace

TEST_F(ProgramTest, TheBuildMixDialogRefusesValuesOutOfRangeAndOffersTheLastConfirmedOnes) {
    RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
    WhenModal([&](QWidget* widget) {
        auto& dialog = *qobject_cast<BuildMixDialog*>(widget);
        EXPECT_EQ(dialog.TrackBox()->currentText(), "0");
        EXPECT_EQ(dialog.CardBox()->currentText(), "0");
        EXPECT_EQ(dialog.TrackBox()->count(), 15);
        EXPECT_TRUE(SaveScreenshot(dialog, "build-mix-dialog"));
        struct Case {
            const char* track;
            const char* card;
            QString message;
        };
        for (const Case& c : {Case{"17", "0", FieldExchange::RangeMessage(0, 16)},
                              Case{"16", "5", FieldExchange::RangeMessage(0, 4)},
                              Case{"x", "0", FieldExchange::NotANumberMessage()}}) {
            boxes.QueueAnswer(MessageBoxes::Answer::Ok);
            dialog.TrackBox()->setEditText(c.track);
            dialog.CardBox()->setEditText(c.card);
            QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
            EXPECT_TRUE(dialog.isVisible()) << c.track << " " << c.card;
            EXPECT_EQ(boxes.Shown().back().text, c.message);
        }
        // A number typed that is not among the items is taken.
        dialog.TrackBox()->setEditText("16");
        dialog.CardBox()->setEditText("3");
        QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
    });
    boxes.QueueAnswer(MessageBoxes::Answer::Ok);  // card 3 is not open
    View().RouteCommand(CommandIds::BuildMix);
    EXPECT_EQ(boxes.Shown().back().text, "You selected an invalid sound card.");
    EXPECT_FALSE(Mixer->IsPlaying_b());

    WhenModal([](QWidget* widget) {
        auto& dialog = *qobject_cast<BuildMixDialog*>(widget);
        EXPECT_EQ(dialog.TrackBox()->currentText(), "16");
        EXPECT_EQ(dialog.CardBox()->currentText(), "3");
        dialog.TrackBox()->setEditText("2");
        dialog.reject();
    });
    View().RouteCommand(CommandIds::BuildMix);
    EXPECT_EQ(View().MixDialog().Track(), 16u) << "Cancel keeps the confirmed values";
}

TEST_F(ProgramTest, BuildMixBouncesTheOtherTracksIntoTheChosenOneAndStopsAtTheSongsEnd) {
    NewSong("bounce");
    std::vector<TrackModel> tracks(3);
    const int frames[] = {30000, 20000, 44100};
    for (int i = 0; i < 3; ++i) {
        TrackModel& t = tracks[static_cast<size_t>(i)];
        t.stereo = i != 1;
        t.bytes = Noise(static_cast<uint32_t>(i + 1), frames[i], t.stereo ? 2 : 1);
        const std::string path = PathIn("take" + std::to_string(i) + ".wav");
        WriteWholeFile(path, PcmWav(t.stereo ? 2 : 1, 16, t.bytes));
        Mixer->GetChannel(static_cast<char>(i))->ImportWav(path.c_str(), 0);
    }
    const int songLength = Mixer->GetSongLength_ms();

    WhenModal([](QWidget* widget) {
        auto& dialog = *qobject_cast<BuildMixDialog*>(widget);
        dialog.TrackBox()->setEditText("15");
        QTest::mouseClick(OkButton(dialog), Qt::LeftButton);
    });
    View().RouteCommand(CommandIds::BuildMix);
    ASSERT_TRUE(Mixer->IsPlaying_b());
    EXPECT_EQ(View().MixEnd(), songLength);
    // The view's timer ends the run once the position passed the song's end.
    for (int waited = 0; Mixer->IsPlaying_b() && waited < 10000; waited += 50)
        QTest::qWait(50);
    ASSERT_FALSE(Mixer->IsPlaying_b());
    EXPECT_EQ(View().MixEnd(), -1);
    EXPECT_GT(static_cast<int>(Mixer->GetPos_ms()), songLength);

    SuperWaveFile* target = Mixer->GetChannel(15)->GetChannelFile();
    std::string mix(static_cast<size_t>(target->GetTotalBytes()), '\0');
    target->ReadAt(0, reinterpret_cast<uint8_t*>(mix.data()), mix.size());
    const size_t bufferBytes = size_t{BufferSize} * 4;
    ASSERT_GE(mix.size(), static_cast<size_t>(MsToFrames(songLength)) * 4);
    ASSERT_EQ(mix.size() % bufferBytes, 0u);
    for (size_t k = 0; k * bufferBytes < mix.size(); ++k) {
        const std::vector<int16_t> expected =
            ModelCardBuffer(tracks, 0, 0, static_cast<int64_t>(k));
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(),
                               reinterpret_cast<const int16_t*>(mix.data() + k * bufferBytes)))
            << "buffer " << k;
    }

    // An ordinary run afterwards is not cut at the old end.
    Mixer->SetPos_ms(0);
    View().RouteCommand(CommandIds::PlayStop);
    QTest::qWait(songLength + 300);
    EXPECT_TRUE(Mixer->IsPlaying_b());
    View().RouteCommand(CommandIds::Stop);
}
