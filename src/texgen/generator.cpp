#include "texgen/generator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine3d/random.h"
#include "texgen/fixed_point.h"
#include "texgen/operations.h"

int32_t g_cosine[256];

namespace {

// Shared generator state: the work image keeps its content from one instruction to the next.
TextureLayer g_work;
uint8_t g_blendMode = '=';
uint32_t g_channelMask = 0xFFFFFFFFu;

}  // namespace

void buildCosineTable() {
  const float w = 0.024543693f;  // 2 pi / 256
  for (int i = 0; i < 256; ++i) {
    const float angle = static_cast<float>(i) * w;
    g_cosine[i] = static_cast<int32_t>((std::cos(static_cast<double>(angle)) + 1.0) * 127.5);
  }
}

TextureInstruction decodeInstruction(const uint8_t* bytes) {
  TextureInstruction in{};
  in.opcode = bytes[0];
  in.channels = bytes[1];
  in.blendMode = bytes[2];
  in.dest = bytes[3];
  in.srcA = bytes[4];
  in.srcB = bytes[5];
  in.p0 = bytes[6];
  in.p1 = bytes[7];
  in.p2 = bytes[8];
  in.p3 = bytes[9];
  in.pictureKey = static_cast<uint32_t>(bytes[12]) | (static_cast<uint32_t>(bytes[13]) << 8) |
                  (static_cast<uint32_t>(bytes[14]) << 16) | (static_cast<uint32_t>(bytes[15]) << 24);
  return in;
}

void encodeInstruction(const TextureInstruction& in, uint8_t* bytes) {
  const uint8_t head[12] = {in.opcode, in.channels, in.blendMode, in.dest, in.srcA, in.srcB,
                            in.p0,     in.p1,       in.p2,        in.p3,   0,       0};
  std::memcpy(bytes, head, sizeof head);
  for (int i = 0; i < 4; ++i) bytes[12 + i] = static_cast<uint8_t>(in.pictureKey >> (8 * i));
}

TextureGenerator::TextureGenerator() {
  for (auto& layer : layers_) layer = new TextureLayer;
  std::memset(program_, 0, sizeof program_);
  reset();
}

TextureGenerator::~TextureGenerator() {
  for (auto* layer : layers_) delete layer;
}

void TextureGenerator::reset() {
  g_channelMask = 0xFFFFFFFFu;
  g_blendMode = '=';
  for (auto* layer : layers_) {
    std::fill(g_work.pixels, g_work.pixels + kLayerPixels, 0xFF000000u);
    mergeWorkImage(layer->pixels, g_work.pixels, g_blendMode, g_channelMask);
  }
}

void TextureGenerator::run(const uint8_t* program, size_t size) {
  instructionCount_ = 0;
  if (program != nullptr && size >= 1) {
    const size_t fits = (size - 1) / kInstructionBytes;
    instructionCount_ = static_cast<int32_t>(program[0] < fits ? program[0] : fits);
    std::memcpy(program_, program + 1, static_cast<size_t>(instructionCount_) * kInstructionBytes);
  }
  reset();
  for (int32_t i = 0; i < instructionCount_; ++i) execute(decodeInstruction(program_ + i * kInstructionBytes));
}

void TextureGenerator::execute(const TextureInstruction& instruction) {
  g_channelMask = 0;
  for (int k = 0; k < 4; ++k) {
    if ((instruction.channels >> k) & 1) g_channelMask |= 0xFFu << (8 * k);
  }
  g_blendMode = instruction.blendMode;
  seedRandom(instruction.p0);
  uint32_t* dest = layers_[instruction.dest & 3]->pixels;
  const OpInputs inputs{dest,          layers_[instruction.srcA & 3]->pixels,
                        layers_[instruction.srcB & 3]->pixels,
                        instruction.p0, instruction.p1, instruction.p2, instruction.p3, instruction.pictureKey};
  if (Operation op = operationFor(instruction.opcode)) op(inputs, g_work.pixels);
  mergeWorkImage(dest, g_work.pixels, g_blendMode, g_channelMask);
}

TextureGenerator& textureGenerator() {
  static TextureGenerator generator;
  return generator;
}

Operation operationFor(int32_t opcode) {
  static const Operation table[kOpcodeCount] = {
      randomBlocks, plasma,    cells,      cosineGrid, checker, light,     fill,       tilePicture,
      stampPicture, nullptr,   valueNoise, copyLayer,  blendConst, blendMask, shift,  embossH,
      cosineMap,    sineWarp,  overlay,    invert,     blur,    hsvAdjust, rotate,     hsvToRgb,
      contrast,     maximum,   embossD,    polar,      displace, rays,     blueToGrey};
  if (opcode < 0 || opcode >= kOpcodeCount) return nullptr;
  return table[opcode];
}
