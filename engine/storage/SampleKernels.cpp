// Player-thread code: no allocation, no locks, no I/O.
#include "storage/SampleKernels.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace SampleKernels {

namespace {

int16_t Widen(uint8_t byte) {
    return static_cast<int16_t>(byte * 256 - 32768);
}

// Clamped before the conversion, which would be undefined for a value outside the 16-bit
// range; the conversion truncates toward zero.
int16_t Scale(int16_t sample, float gain) {
    const float scaled = std::clamp(static_cast<float>(sample) * gain, -32768.0f, 32767.0f);
    return static_cast<int16_t>(scaled);
}

#if defined(__SSE2__)
__m128i Load(const void* at) {
    return _mm_loadu_si128(static_cast<const __m128i*>(at));
}

void Store(int16_t* at, __m128i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), value);
}

// Sixteen unsigned bytes widened as Widen does, eight samples in each half. b ^ 0x80 is
// b - 128 as a signed byte; placed as the high byte of a 16-bit lane over a zero low byte it is
// (b - 128) * 256.
void Widen16Bytes(__m128i bytes, __m128i& low, __m128i& high) {
    const __m128i zero = _mm_setzero_si128();
    bytes = _mm_xor_si128(bytes, _mm_set1_epi8(static_cast<char>(0x80)));
    low = _mm_unpacklo_epi8(zero, bytes);
    high = _mm_unpackhi_epi8(zero, bytes);
}

// Four samples (as 32-bit lanes) scaled as ScaleStereoScalar does: the product of a 16-bit
// value and a float is rounded the same way in a vector lane, max then min is std::clamp for
// values that are not NaN, and every clamped value converts exactly after truncation.
__m128i Scale4(__m128i samples, __m128 gains) {
    __m128 scaled = _mm_mul_ps(_mm_cvtepi32_ps(samples), gains);
    scaled = _mm_min_ps(_mm_max_ps(scaled, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
    return _mm_cvttps_epi32(scaled);
}
#endif

}  // namespace

void MixSaturatingScalar(int16_t* out, const int16_t* in, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        int sum = out[i] + in[i];
        out[i] = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
    }
}

void MixSaturating(int16_t* out, const int16_t* in, size_t count) {
    size_t i = 0;
#if defined(__SSE2__)
    // _mm_adds_epi16 is the saturating 16-bit add itself.
    for (; i + 8 <= count; i += 8)
        Store(out + i, _mm_adds_epi16(Load(out + i), Load(in + i)));
#endif
    MixSaturatingScalar(out + i, in + i, count - i);
}

void Widen8Scalar(int16_t* out, const uint8_t* in, size_t count) {
    for (size_t i = 0; i < count; ++i)
        out[i] = Widen(in[i]);
}

void Widen8(int16_t* out, const uint8_t* in, size_t count) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= count; i += 16) {
        __m128i low, high;
        Widen16Bytes(Load(in + i), low, high);
        Store(out + i, low);
        Store(out + i + 8, high);
    }
#endif
    Widen8Scalar(out + i, in + i, count - i);
}

void Mono16ToStereoScalar(int16_t* out, const uint8_t* in, size_t frames) {
    for (size_t i = 0; i < frames; ++i) {
        int16_t sample;
        std::memcpy(&sample, in + 2 * i, sizeof sample);
        out[2 * i] = out[2 * i + 1] = sample;
    }
}

void Mono16ToStereo(int16_t* out, const uint8_t* in, size_t frames) {
    size_t i = 0;
#if defined(__SSE2__)
    // Interleaving eight samples with themselves puts each on both sides.
    for (; i + 8 <= frames; i += 8) {
        const __m128i samples = Load(in + 2 * i);
        Store(out + 2 * i, _mm_unpacklo_epi16(samples, samples));
        Store(out + 2 * i + 8, _mm_unpackhi_epi16(samples, samples));
    }
#endif
    Mono16ToStereoScalar(out + 2 * i, in + 2 * i, frames - i);
}

void Mono8ToStereoScalar(int16_t* out, const uint8_t* in, size_t frames) {
    for (size_t i = 0; i < frames; ++i)
        out[2 * i] = out[2 * i + 1] = Widen(in[i]);
}

void Mono8ToStereo(int16_t* out, const uint8_t* in, size_t frames) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= frames; i += 16) {
        __m128i low, high;
        Widen16Bytes(Load(in + i), low, high);
        int16_t* at = out + 2 * i;
        Store(at, _mm_unpacklo_epi16(low, low));
        Store(at + 8, _mm_unpackhi_epi16(low, low));
        Store(at + 16, _mm_unpacklo_epi16(high, high));
        Store(at + 24, _mm_unpackhi_epi16(high, high));
    }
#endif
    Mono8ToStereoScalar(out + 2 * i, in + i, frames - i);
}

void ScaleStereoScalar(int16_t* samples, size_t frames, float gainLeft, float gainRight) {
    for (size_t i = 0; i < frames; ++i) {
        samples[2 * i] = Scale(samples[2 * i], gainLeft);
        samples[2 * i + 1] = Scale(samples[2 * i + 1], gainRight);
    }
}

void ScaleStereo(int16_t* samples, size_t frames, float gainLeft, float gainRight) {
    // Unity gain on both sides (no automation, centre pan, offset volume 1) leaves every sample
    // as it is: float(s) * 1.0f is s exactly and needs no clamping.
    if (gainLeft == 1.0f && gainRight == 1.0f)
        return;
    size_t i = 0;
#if defined(__SSE2__)
    // Four frames at a time. Every group starts on a left sample, so one gain vector fits all.
    const __m128 gains = _mm_setr_ps(gainLeft, gainRight, gainLeft, gainRight);
    for (; i + 4 <= frames; i += 4) {
        int16_t* at = samples + 2 * i;
        const __m128i pairs = Load(at);
        // Sign extension to 32 bits: each sample into the high half of a lane, shifted down.
        const __m128i first = _mm_srai_epi32(_mm_unpacklo_epi16(pairs, pairs), 16);
        const __m128i second = _mm_srai_epi32(_mm_unpackhi_epi16(pairs, pairs), 16);
        // The lanes hold -32768..32767 already: the saturating pack only narrows them.
        Store(at, _mm_packs_epi32(Scale4(first, gains), Scale4(second, gains)));
    }
#endif
    ScaleStereoScalar(samples + 2 * i, frames - i, gainLeft, gainRight);
}

int PeakMagnitude(const int16_t* samples, size_t count) {
    int peak = 0;
    for (size_t i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(int{samples[i]}));
    return peak;
}

}  // namespace SampleKernels
