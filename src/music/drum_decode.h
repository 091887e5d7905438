// Drum sample decoding: DRUM records (type 0 companded bytes, type 1 dithered 4-bit pairs) expanded by
// an inverse Haar transform, the derived sound 3 and the synthesised bass drum 11. Type-1 records draw
// one threadRand value per payload byte, so they depend on the calling thread's generator state.
// Records of unknown type, with a count that is not a power of two or a sound number above 11, leave
// their sound silent; one running past the entry's end stops the reading.
#pragma once

#include <cstdint>

struct DrumSample;

constexpr int32_t kDrumRecordType0 = 0;
constexpr int32_t kDrumRecordType1 = 1;
constexpr int32_t kBassDrumSamples = 12000;

// The quantisation curves shared with the encoder.
inline float signedSquare(float x) { return x * (x < 0 ? -x : x); }
// Type 1: level of a 4-bit code k, sign(k - 7) * ((k - 7) / 7)^4.
inline float type1Level(int32_t k) { return signedSquare(signedSquare(static_cast<float>(k - 7) * 0.14285715f)); }

// Unnormalised inverse Haar transform of n (a power of two) coefficients, in place; `scratch` holds n.
void inverseHaar(float* c, float* scratch, int32_t n);

// Decodes one record's payload into `out` (count samples, already zeroed, a multiple of 32 long).
// Returns false (nothing written) for an unknown type or a count that is not a power of two.
bool decodeDrumRecord(int32_t type, float scale, const uint8_t* payload, int32_t payloadBytes, int16_t* out,
                      int32_t* count);

// Decodes every record of a DRUM entry into `sounds` (12), then derives sound 3 if it is still empty
// and synthesises sound 11.
void decodeDrumEntry(const uint8_t* entry, int32_t size, DrumSample* sounds);

// Sound 3 from sound 2: its first third with a quadratic fade-out.
void deriveSound3(const DrumSample& sound2, DrumSample& sound3);
// Sound 11: 12000 samples of a falling sine sweep with a linear fade.
void synthesiseBassDrum(DrumSample& sound11);
