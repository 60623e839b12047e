#pragma once

#include <cstddef>
#include <cstdint>

// The sample loops of the mixing path: widening a track's frames into 16-bit stereo, scaling
// them by a channel's gains, and adding them into a card's buffer. Each runs once per track per
// buffer, so each has a vector version (SSE2, which every x86-64 processor has) and a plain
// scalar one. The scalar version defines the result: the vector one must give the same samples
// bit for bit, and it also does the tail that does not fill a whole vector.
//
// Player thread: no allocation, no locks, no I/O. Input and output never overlap, except that
// ScaleStereo works in place.
namespace SampleKernels {

// out[i] = clamp(out[i] + in[i]) to the 16-bit range, for count samples.
void MixSaturating(int16_t* out, const int16_t* in, size_t count);
void MixSaturatingScalar(int16_t* out, const int16_t* in, size_t count);

// Unsigned 8-bit samples to signed 16-bit ones: byte b becomes b * 256 - 32768 (128 is zero).
// count samples; stereo 8-bit frames widen this way too, left and right alike.
void Widen8(int16_t* out, const uint8_t* in, size_t count);
void Widen8Scalar(int16_t* out, const uint8_t* in, size_t count);

// Mono 16-bit frames (little-endian bytes, any alignment) to stereo: each sample goes to both
// sides. frames mono samples in, 2 * frames samples out.
void Mono16ToStereo(int16_t* out, const uint8_t* in, size_t frames);
void Mono16ToStereoScalar(int16_t* out, const uint8_t* in, size_t frames);

// Mono unsigned 8-bit frames to 16-bit stereo: widened as Widen8, then to both sides.
void Mono8ToStereo(int16_t* out, const uint8_t* in, size_t frames);
void Mono8ToStereoScalar(int16_t* out, const uint8_t* in, size_t frames);

// Scales frames stereo frames in place, left samples by gainLeft and right ones by gainRight:
// each sample becomes float(sample) * gain clamped to -32768..32767 and truncated toward zero,
// so a gain above 1 clips instead of wrapping. Gains must be finite (an infinite product is
// fine; it clamps).
void ScaleStereo(int16_t* samples, size_t frames, float gainLeft, float gainRight);
void ScaleStereoScalar(int16_t* samples, size_t frames, float gainLeft, float gainRight);

// The largest magnitude of count samples (32768 for -32768), 0 for none.
int PeakMagnitude(const int16_t* samples, size_t count);

}  // namespace SampleKernels
