#include <gtest/gtest.h>

#include "PluginLibrary.h"
#include "TremoloReference.h"

TEST(Tremolo, EveryFrameIsScaledByTheGainOfItsSongPosition) {
    PluginLibrary tremolo(TREMOLO_PLUGIN);
    ASSERT_TRUE(tremolo.Add(2));
    struct Case {
        int32_t tenths, depth;
        int64_t position;
        uint32_t rate;
    };
    // Far into a song too, where a phase kept in floating point would have drifted.
    for (Case c : {Case{50, 50, 0, 44100}, Case{5, 100, 123457, 48000},
                   Case{200, 73, 1'000'000'000'007, 44100}, Case{37, 0, 99, 96000}}) {
        tremolo.Set(2, TremoloRate, c.tenths);
        tremolo.Set(2, TremoloDepth, c.depth);
        const std::vector<int16_t> input = Noise(20000, 4);
        std::vector<int16_t> samples = input;
        tremolo.Process(2, samples, c.position, c.rate);
        EXPECT_EQ(samples, TremoloExpected(input, c.position, c.rate, c.tenths, c.depth))
            << c.tenths << " tenths of a hertz, depth " << c.depth << " at " << c.position;
    }
}

TEST(Tremolo, TheLevelDipsByTheDepthHalfACycleInWhateverTheBuffers) {
    PluginLibrary tremolo(TREMOLO_PLUGIN);
    ASSERT_TRUE(tremolo.Add(0));
    tremolo.Set(0, TremoloRate, 10);  // 1 Hz: at 1000 frames/s, the dip is at frame 500
    tremolo.Set(0, TremoloDepth, 60);
    std::vector<int16_t> whole(2 * 3000, 10000);
    tremolo.Process(0, whole, 0, 1000);
    EXPECT_EQ(whole[0], 10000);
    EXPECT_EQ(whole[2 * 500], 4000);
    EXPECT_EQ(whole[2 * 1500 + 1], 4000);
    // The same song time gets the same gain however the audio is cut, and a reset changes
    // nothing: the effect keeps no phase of its own.
    std::vector<int16_t> pieces;
    const int64_t cuts[] = {0, 1, 700, 2999, 3000};
    for (size_t i = 0; i + 1 < std::size(cuts); ++i) {
        std::vector<int16_t> piece(2 * static_cast<size_t>(cuts[i + 1] - cuts[i]), 10000);
        tremolo.Call(QUIBFX_RESET, static_cast<unsigned long>(cuts[i]), 0);
        tremolo.Process(0, piece, cuts[i], 1000);
        pieces.insert(pieces.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(pieces, whole);
}
