// The thirty texture operations, in four families: random sources and noise, patterns, fills and
// pictures, per-pixel filters and colour operations, geometric and neighbourhood filters. Each writes
// the 65536-pixel work image from the instruction's operands and input layers (never changed here);
// the interpreter merges the result. A picture operation whose picture is missing leaves `work` alone.
#pragma once

#include <cstdint>

#include "archive/fourcc.h"

struct OpInputs {
  const uint32_t* dest;  // the destination layer as it was before the instruction
  const uint32_t* a;     // layer A
  const uint32_t* b;     // layer B
  int32_t p0;
  int32_t p1;
  int32_t p2;
  int32_t p3;
  FourCC pictureKey;
};

using Operation = void (*)(const OpInputs& in, uint32_t* work);

// Random sources and noise.
void randomBlocks(const OpInputs& in, uint32_t* work);  // op 0
void plasma(const OpInputs& in, uint32_t* work);        // op 1
void cells(const OpInputs& in, uint32_t* work);         // op 2
void valueNoise(const OpInputs& in, uint32_t* work);    // op 10
void rays(const OpInputs& in, uint32_t* work);          // op 29

// Patterns, fills and pictures.
void cosineGrid(const OpInputs& in, uint32_t* work);    // op 3
void checker(const OpInputs& in, uint32_t* work);       // op 4
void light(const OpInputs& in, uint32_t* work);         // op 5
void fill(const OpInputs& in, uint32_t* work);          // op 6
void tilePicture(const OpInputs& in, uint32_t* work);   // op 7
void stampPicture(const OpInputs& in, uint32_t* work);  // op 8

// Per-pixel filters, combiners and colour operations.
void copyLayer(const OpInputs& in, uint32_t* work);   // op 11
void blendConst(const OpInputs& in, uint32_t* work);  // op 12
void blendMask(const OpInputs& in, uint32_t* work);   // op 13
void cosineMap(const OpInputs& in, uint32_t* work);   // op 16
void overlay(const OpInputs& in, uint32_t* work);     // op 18
void invert(const OpInputs& in, uint32_t* work);      // op 19
void hsvAdjust(const OpInputs& in, uint32_t* work);   // op 21
void hsvToRgb(const OpInputs& in, uint32_t* work);    // op 23
void contrast(const OpInputs& in, uint32_t* work);    // op 24
void maximum(const OpInputs& in, uint32_t* work);     // op 25
void blueToGrey(const OpInputs& in, uint32_t* work);  // op 30

// Geometric and neighbourhood filters.
void shift(const OpInputs& in, uint32_t* work);     // op 14
void embossH(const OpInputs& in, uint32_t* work);   // op 15
void sineWarp(const OpInputs& in, uint32_t* work);  // op 17
void blur(const OpInputs& in, uint32_t* work);      // op 20
void rotate(const OpInputs& in, uint32_t* work);    // op 22
void embossD(const OpInputs& in, uint32_t* work);   // op 26
void polar(const OpInputs& in, uint32_t* work);     // op 27
void displace(const OpInputs& in, uint32_t* work);  // op 28

// One Blur pass over a whole image (src and dst distinct): each byte becomes the five-point cross sum
// times 13107 >> 16. The packed form (SSE2, 16-bit lanes) gives the same bytes as the scalar one.
void blurPassScalar(const uint32_t* src, uint32_t* dst);
void blurPassPacked(const uint32_t* src, uint32_t* dst);

// The bilinear sampler of the warping filters: u and v are 8.8 fixed point, wrapping modulo 256 pixels.
// sampleBilinear is the packed form (SSE2) of the scalar rule and gives the same pixels.
uint32_t sampleBilinear(const uint32_t* image, int32_t u, int32_t v);
uint32_t sampleBilinearScalar(const uint32_t* image, int32_t u, int32_t v);

// The HSV conversions of the colour operations, in single precision. hsvToRgbBytes leaves r, g and b
// as they were when the hue selects no sector.
void rgbToHsv(int32_t r, int32_t g, int32_t b, float* h, float* s, float* v);
void hsvToRgbBytes(float h, float s, float v, int32_t* r, int32_t* g, int32_t* b);

// The operation for an opcode, or null for 9 and anything above 30.
Operation operationFor(int32_t opcode);
