// The vector kernels against their scalar versions: random samples salted with the edge values,
// every length up to a few vectors past the widest one (so that every tail length occurs), a
// start that is not vector-aligned, and guard samples after the end that neither may touch.
#include "storage/SampleKernels.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace {

constexpr size_t Guard = 19;
constexpr size_t LongestShortLength = 70;

std::vector<size_t> Lengths() {
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= LongestShortLength; ++n)
        lengths.push_back(n);
    lengths.push_back(2048);  // a whole engine buffer
    return lengths;
}

std::vector<int16_t> RandomSamples(std::mt19937& random, size_t count) {
    static constexpr int16_t Edges[] = {-32768, -32767, -1, 0, 1, 32766, 32767};
    std::vector<int16_t> samples(count);
    for (int16_t& s : samples) {
        const unsigned pick = random() % 16;
        s = pick < 7 ? Edges[pick] : static_cast<int16_t>(random());
    }
    return samples;
}

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t count) {
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

// Runs a kernel and its scalar version on copies of the same output buffer, starting at an odd
// offset into it, and compares the whole buffer, guards included.
template <class Run>
void ExpectSameSamples(const std::vector<int16_t>& initial, Run run) {
    std::vector<int16_t> fast = initial, scalar = initial;
    run(fast.data() + 1, false);
    run(scalar.data() + 1, true);
    ASSERT_EQ(fast, scalar);
}

using Widening = void (*)(int16_t*, const uint8_t*, size_t);
constexpr std::pair<Widening, Widening> Widenings[] = {
    {SampleKernels::Widen8, SampleKernels::Widen8Scalar},
    {SampleKernels::Mono8ToStereo, SampleKernels::Mono8ToStereoScalar},
    {SampleKernels::Mono16ToStereo, SampleKernels::Mono16ToStereoScalar},
};

}  // namespace

TEST(SampleKernels, SaturatingMixAddsLikeTheScalarClampForEveryLength) {
    std::mt19937 random(1);
    for (size_t count : Lengths()) {
        SCOPED_TRACE(count);
        const std::vector<int16_t> in = RandomSamples(random, count + 1);
        ExpectSameSamples(RandomSamples(random, count + Guard), [&](int16_t* out, bool scalar) {
            (scalar ? SampleKernels::MixSaturatingScalar : SampleKernels::MixSaturating)(
                out, in.data() + 1, count);
        });
    }
    // Sums past either end stop there instead of wrapping around.
    int16_t out[] = {32767, -32768, 30000, -30000, 5, -5, 0, -1, 1};
    const int16_t in[] = {1, -1, 30000, -30000, -5, 5, 0, -32768, 32767};
    SampleKernels::MixSaturating(out, in, 9);
    EXPECT_EQ(std::vector<int16_t>(out, out + 9),
              (std::vector<int16_t>{32767, -32768, 32767, -32768, 0, 0, 0, -32768, 32767}));
}

TEST(SampleKernels, WideningGivesTheScalarSamplesForEveryFormatAndLength) {
    std::mt19937 random(2);
    for (size_t count : Lengths()) {
        SCOPED_TRACE(count);
        // Bytes start one past an aligned address, as the kernels allow any alignment.
        const std::vector<uint8_t> in = RandomBytes(random, 2 * count + 1);
        const std::vector<int16_t> initial = RandomSamples(random, 2 * count + Guard);
        for (const auto& [fast, slow] : Widenings) {
            ExpectSameSamples(initial, [&](int16_t* out, bool scalar) {
                (scalar ? slow : fast)(out, in.data() + 1, count);
            });
        }
    }
    // 128 is silence; the ends are full scale.
    const uint8_t bytes[] = {0, 1, 127, 128, 129, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    int16_t out[34];
    SampleKernels::Mono8ToStereo(out, bytes, 17);
    EXPECT_EQ(std::vector<int16_t>(out, out + 12),
              (std::vector<int16_t>{-32768, -32768, -32512, -32512, -256, -256, 0, 0, 256, 256,
                                    32512, 32512}));
}

TEST(SampleKernels, ScalingClampsThenTruncatesLikeTheScalarPassForEveryKindOfGain) {
    // Unity (the pass that changes nothing) and unity on one side only, zero of both signs,
    // below and above 1, negative, fractions that land between integers, and products far
    // beyond the 16-bit range, up to infinity.
    std::vector<float> gains = {1.0f, 0.0f,   -0.0f, 0.5f,    0.999999f, 1.0000001f, 1.5f,
                                2.0f, -1.0f,  -0.3f, -2.75f,  1e-8f,     FLT_MIN,    1e6f,
                                1e9f, -1e30f, 3e38f, FLT_MAX, -FLT_MAX};
    std::mt19937 random(3);
    std::uniform_real_distribution<float> anyGain(-4.0f, 4.0f);
    for (int n = 0; n < 12; ++n)
        gains.push_back(anyGain(random));

    for (float gainLeft : gains) {
        for (float gainRight : {gainLeft, 1.0f, 0.7f, -1.0f, anyGain(random)}) {
            SCOPED_TRACE(testing::Message() << gainLeft << " " << gainRight);
            for (size_t frames : Lengths()) {
                SCOPED_TRACE(frames);
                ExpectSameSamples(
                    RandomSamples(random, 2 * frames + Guard), [&](int16_t* samples, bool scalar) {
                        (scalar ? SampleKernels::ScaleStereoScalar : SampleKernels::ScaleStereo)(
                            samples, frames, gainLeft, gainRight);
                    });
            }
        }
    }
    // Left and right take their own gains; clipping, and truncation toward zero on both sides.
    int16_t samples[] = {-32768, 32767, 3, -3, 100, 100, 7, -7, -32768, 0};
    SampleKernels::ScaleStereo(samples, 5, -1.0f, 0.5f);
    EXPECT_EQ(std::vector<int16_t>(samples, samples + 10),
              (std::vector<int16_t>{32767, 16383, -3, -1, -100, 50, -7, -3, 32767, 0}));
}
