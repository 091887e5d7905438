// Random sources and noise: RandomBlocks, Plasma, Cells, ValueNoise and Rays. All but Plasma draw from the
// shared generator, which the interpreter re-seeds with p0 before every instruction.
#include <algorithm>
#include <cmath>

#include "engine3d/random.h"
#include "texgen/fixed_point.h"
#include "texgen/generator.h"
#include "texgen/operations.h"

namespace {

int32_t drawByte() { return static_cast<int32_t>(nextRandom() & 0xFF); }

// The plasma's own generator: a 32-bit linear congruence whose top 16 bits (signed) are scaled by A.
struct PlasmaRandom {
  uint32_t state;
  int32_t draw(int32_t multiplier) {
    state = state * 22695477u + 1u;
    const int32_t r = static_cast<int32_t>(state) >> 16;
    return static_cast<int32_t>(static_cast<uint32_t>(r) * static_cast<uint32_t>(multiplier));
  }
};

// One diamond-square target: the rounded mean of four neighbour bytes plus the draw's high half, all in
// 16-bit wrap-around arithmetic; anything above 255 (a wrapped negative sum too) stores 255.
uint8_t plasmaValue(int32_t draw, int32_t n0, int32_t n1, int32_t n2, int32_t n3) {
  const uint16_t high = static_cast<uint16_t>(static_cast<uint32_t>(draw) >> 16);
  const uint16_t sum = static_cast<uint16_t>(2u + high + n0 + n1 + n2 + n3);
  const uint32_t value = sum >> 2;
  return static_cast<uint8_t>(value > 255 ? 255 : value);
}

// Lattice spacing 1 << p, shift count modulo 32, kept within the image (spacings above 256 act as 256).
int32_t latticeSpacing(int32_t p) {
  const uint32_t spacing = 1u << (p & 31);
  return spacing > 256 ? 256 : static_cast<int32_t>(spacing);
}

// Catmull-Rom cubic through p1 and p2 (p0 and p3 the outer control values), in single precision.
struct Cubic {
  float a3, a2, a1, a0;
  Cubic(int32_t pm1, int32_t p0, int32_t p1, int32_t p2) {
    const float e = static_cast<float>(p1 - pm1) * 0.5f;
    const float f = static_cast<float>(p2 - p0) * 0.5f;
    const float g = static_cast<float>(2 * (p1 - p0));
    a3 = e + f - g;
    a2 = 1.5f * g - 2.0f * e - f;
    a1 = e;
    a0 = static_cast<float>(p0);
  }
  int32_t at(float t) const {
    const float v = ((a3 * t + a2) * t + a1) * t + a0;
    return saturateByte(static_cast<int32_t>(v));
  }
};

}  // namespace

void randomBlocks(const OpInputs& in, uint32_t* work) {
  const int64_t bw = int64_t{1} << (in.p1 & 31);
  const int64_t bh = int64_t{1} << (in.p2 & 31);
  const int64_t across = 256 / bw;
  const int64_t down = 256 / bh;
  for (int64_t i = 0; i < down; ++i) {
    for (int64_t j = 0; j < across; ++j) {
      const uint32_t grey = greyPixel(drawByte());
      for (int64_t y = i * bh; y < (i + 1) * bh; ++y) {
        std::fill(work + y * 256 + j * bw, work + y * 256 + (j + 1) * bw, grey);
      }
    }
  }
}

void plasma(const OpInputs& in, uint32_t* work) {
  static uint8_t value[kLayerPixels];  // byte 0 of each work pixel while the plasma grows
  auto P = [](int x, int y) -> uint8_t& { return value[layerIndex(x, y)]; };
  PlasmaRandom random{static_cast<uint32_t>(in.p0)};
  int32_t a = in.p1 * in.p1;
  P(0, 0) = static_cast<uint8_t>(random.draw(1) & 0xFF);
  for (int s = 256; s >= 2; s /= 2) {
    const int h = s / 2;
    for (int row = 0; row < 256; row += s) {  // square centres
      for (int col = 0; col < 256; col += s) {
        const int32_t d = random.draw(3 * a);
        P(col + h, row + h) = plasmaValue(d, P(col, row), P(col, row + s), P(col + s, row), P(col + s, row + s));
      }
    }
    for (int row = 0; row < 256; row += s) {  // left edge midpoints
      for (int col = 0; col < 256; col += s) {
        const int32_t d = random.draw(a);
        P(col, row + h) = plasmaValue(d, P(col, row), P(col - h, row + h), P(col + h, row + h), P(col, row + s));
      }
    }
    for (int row = 0; row < 256; row += s) {  // top edge midpoints
      for (int col = 0; col < 256; col += s) {
        const int32_t d = random.draw(a);
        P(col + h, row) = plasmaValue(d, P(col, row), P(col + h, row - h), P(col + s, row), P(col + h, row + h));
      }
    }
    a = static_cast<int32_t>(static_cast<uint32_t>(a) >> 1);
  }
  for (int i = 0; i < kLayerPixels; ++i) work[i] = greyPixel(value[i]);
}

void cells(const OpInputs& in, uint32_t* work) {
  const int32_t n = in.p1;
  int32_t px[256];
  int32_t py[256];
  for (int32_t i = 0; i < n; ++i) {
    px[i] = drawByte();
    py[i] = drawByte();
  }
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      int32_t best = 0x0FFFFFFF;
      int32_t second = 0x0FFFFFFF;
      int32_t index = -1;
      for (int32_t i = 0; i < n; ++i) {
        // Wrapped distance to the point displaced by (128, 128), so the pattern tiles.
        const int32_t dx = ((px[i] - x) & 255) - 128;
        const int32_t dy = ((py[i] - y) & 255) - 128;
        const int32_t d = dx * dx + dy * dy;
        if (d < best) {
          second = best;
          best = d;
          index = i;
        } else if (d < second) {
          second = d;
        }
      }
      int64_t v = 0;
      switch (in.p3) {
        case 0:
          v = static_cast<int64_t>(std::sqrt(static_cast<double>(best)) * in.p2) >> 4;
          break;
        case 1:
          v = (index * 11) & 255;
          break;
        case 2:
          v = (static_cast<int64_t>(best) * in.p2) >> 8;
          break;
        case 3: {
          // The product of the two distances can pass 32 bits (fewer than two points): take it in 64.
          const double product = static_cast<double>(static_cast<int64_t>(best) * second);
          v = static_cast<int64_t>(std::sqrt(product) * in.p2 * static_cast<double>(0.003921569f));
          break;
        }
        default:
          v = 0;  // no other kind is defined
          break;
      }
      work[y * 256 + x] = greyPixel(static_cast<int32_t>(std::clamp<int64_t>(v, 0, 255)));
    }
  }
}

void valueNoise(const OpInputs& in, uint32_t* work) {
  static int32_t v[kLayerPixels];
  auto V = [](int x, int y) -> int32_t& { return v[layerIndex(x, y)]; };
  const int32_t gx = latticeSpacing(in.p1);
  const int32_t gy = latticeSpacing(in.p2);
  for (int y = 0; y < 256; y += gy) {
    for (int x = 0; x < 256; x += gx) V(x, y) = drawByte();
  }
  const float stepX = 1.0f / static_cast<float>(gx);
  for (int y = 0; y < 256; y += gy) {
    for (int x0 = 0; x0 < 256; x0 += gx) {
      const Cubic cubic(V(x0 - gx, y), V(x0, y), V(x0 + gx, y), V(x0 + 2 * gx, y));
      float t = 0.0f;
      for (int k = 1; k < gx; ++k) {
        t += stepX;
        V(x0 + k, y) = cubic.at(t);
      }
    }
  }
  const float stepY = 1.0f / static_cast<float>(gy);
  for (int x = 0; x < 256; ++x) {
    for (int y0 = 0; y0 < 256; y0 += gy) {
      const Cubic cubic(V(x, y0 - gy), V(x, y0), V(x, y0 + gy), V(x, y0 + 2 * gy));
      float t = 0.0f;
      for (int k = 1; k < gy; ++k) {
        t += stepY;
        V(x, y0 + k) = cubic.at(t);
      }
    }
  }
  for (int i = 0; i < kLayerPixels; ++i) work[i] = greyPixel(v[i]);
}

void rays(const OpInputs& in, uint32_t* work) {
  std::fill(work, work + kLayerPixels, 0u);
  for (int32_t ray = 0; ray < in.p1; ++ray) {
    const int32_t a = drawByte();
    const int32_t rowStep = 2 * g_cosine[a] - 256;
    const int32_t colStep = 2 * g_cosine[(a + 64) & 255] - 256;
    int32_t rowPos = 0x8000;  // 8.8 fixed point: pixel 128
    int32_t colPos = 0x8000;
    for (int i = 0; i < 128; ++i) {
      work[layerIndex(colPos >> 8, rowPos >> 8)] = 0x00FFFFFFu;
      rowPos += rowStep;
      colPos += colStep;
    }
  }
}
