// The texture interpreter: runs a program of 16-byte instructions over four 256 x 256 layers and one work
// image. Each instruction computes a new work image and merges it into its destination layer under a
// blend mode and a channel mask; layer 0 is the result. Single-threaded and not reentrant. A layer index
// above 3 is taken modulo 4, and a program is never read past its stated length.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/fourcc.h"
#include "texgen/texture_layer.h"

constexpr int kInstructionBytes = 16;
constexpr int kMaxInstructions = 255;
constexpr int kOpcodeCount = 31;  // 0..30; 9 and anything above 30 compute nothing

struct TextureInstruction {
  uint8_t opcode;
  uint8_t channels;   // bit 0 blue, 1 green, 2 red, 3 alpha
  uint8_t blendMode;  // '=', '+', '-', '^', '*'; anything else leaves the destination unchanged
  uint8_t dest;
  uint8_t srcA;
  uint8_t srcB;
  uint8_t p0;  // also the seed of the shared generator for this instruction
  uint8_t p1;
  uint8_t p2;
  uint8_t p3;
  FourCC pictureKey;  // read only by TilePicture and StampPicture
};

// Decodes / encodes the 16 stored bytes (bytes 10 and 11 are not read and are written as 0).
TextureInstruction decodeInstruction(const uint8_t* bytes);
void encodeInstruction(const TextureInstruction& instruction, uint8_t* bytes);

class TextureGenerator {
 public:
  TextureGenerator();
  ~TextureGenerator();
  TextureGenerator(const TextureGenerator&) = delete;
  TextureGenerator& operator=(const TextureGenerator&) = delete;

  // Runs a program (count byte, then 16 bytes per instruction) of `size` bytes; layer 0 holds the result.
  void run(const uint8_t* program, size_t size);
  // Every layer and the work image opaque black; mask all channels, mode '='.
  void reset();
  // One instruction, ending with the merge into its destination layer.
  void execute(const TextureInstruction& instruction);

  const TextureLayer& layer(int index) const { return *layers_[index & 3]; }

 private:
  uint8_t program_[kMaxInstructions * kInstructionBytes];
  int32_t instructionCount_ = 0;
  TextureLayer* layers_[4];
};

// The process-wide generator, created on first use.
TextureGenerator& textureGenerator();

// Cosine table: entry i = trunc((cos(i * w) + 1) * 127.5), w = 2 pi / 256 in single precision.
extern int32_t g_cosine[256];
void buildCosineTable();

// Merges `work` into `layer`: the blend mode's result where `mask` has bits, the layer elsewhere. The
// packed form (SSE2) gives the same bytes as the scalar rule.
void mergeWorkImage(uint32_t* layer, const uint32_t* work, uint8_t blendMode, uint32_t mask);
void mergeWorkImageScalar(uint32_t* layer, const uint32_t* work, uint8_t blendMode, uint32_t mask);
