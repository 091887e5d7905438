// Per-pixel filters, combiners and colour operations: each output pixel depends only on the same pixel of
// the destination layer and layers A and B. The HSV conversions are single precision; HsvToRgb starts its
// outputs from the pixel's own red, green and blue, as HsvAdjust does, for a hue that selects no sector.
#include <algorithm>
#include <cmath>

#include "texgen/fixed_point.h"
#include "texgen/generator.h"
#include "texgen/operations.h"

namespace {

constexpr float kByteToUnit = 0.003921569f;  // 1/255 in single precision

template <typename Rule>
void forEachPixel(uint32_t* work, Rule rule) {
  for (int i = 0; i < kLayerPixels; ++i) work[i] = rule(i);
}

uint32_t rgbPixel(uint32_t alphaFrom, int32_t r, int32_t g, int32_t b) {
  return (alphaFrom & 0xFF000000u) | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
         static_cast<uint32_t>(b);
}

}  // namespace

void copyLayer(const OpInputs& in, uint32_t* work) {
  forEachPixel(work, [&](int i) { return in.a[i]; });
}

void invert(const OpInputs& in, uint32_t* work) {
  forEachPixel(work, [&](int i) { return ~in.dest[i]; });
}

void blueToGrey(const OpInputs& in, uint32_t* work) {
  forEachPixel(work, [&](int i) { return (in.dest[i] & 0xFFu) * 0x01010101u; });
}

void maximum(const OpInputs& in, uint32_t* work) {
  forEachPixel(work, [&](int i) {
    return perByte([&](int k) { return std::max(channelOf(in.dest[i], k), channelOf(in.a[i], k)); });
  });
}

void blendConst(const OpInputs& in, uint32_t* work) {
  const int32_t weight = x12(in.p0);
  forEachPixel(work, [&](int i) {
    return perByte([&](int k) {
      const int32_t d = channelOf(in.dest[i], k);
      const int32_t s = channelOf(in.a[i], k);
      return saturateByte(d + mulHigh(x12(s) - x12(d), weight));
    });
  });
}

void blendMask(const OpInputs& in, uint32_t* work) {
  forEachPixel(work, [&](int i) {
    return perByte([&](int k) {
      const int32_t a = channelOf(in.a[i], k);
      const int32_t d = channelOf(in.dest[i], k);
      const int32_t m = channelOf(in.b[i], k);
      return saturateByte(a + mulHigh(x12(d) - x12(a), x12(m)));
    });
  });
}

void overlay(const OpInputs& in, uint32_t* work) {
  forEachPixel(work, [&](int i) {
    return perByte([&](int k) {
      const int32_t d = channelOf(in.dest[i], k);
      const int32_t s = channelOf(in.a[i], k);
      if (s < 128) return (2 * d * s) >> 8;                 // multiply
      return 255 - ((2 * (255 - d) * (256 - s)) >> 8);  // screen
    });
  });
}

void contrast(const OpInputs& in, uint32_t* work) {
  forEachPixel(work, [&](int i) {
    return perByte([&](int k) {
      const int32_t v = channelOf(in.dest[i], k);
      return saturateByte(v + (((127 - v) * in.p0) >> 8));  // arithmetic shift: rounds toward minus infinity
    });
  });
}

void cosineMap(const OpInputs& in, uint32_t* work) {
  forEachPixel(work, [&](int i) {
    return perByte([&](int k) { return g_cosine[((channelOf(in.dest[i], k) * in.p0) - 128) & 255]; });
  });
}

void rgbToHsv(int32_t r, int32_t g, int32_t b, float* h, float* s, float* v) {
  const float red = static_cast<float>(r) * kByteToUnit;
  const float green = static_cast<float>(g) * kByteToUnit;
  const float blue = static_cast<float>(b) * kByteToUnit;
  const float max = std::max(red, std::max(green, blue));
  const float min = std::min(red, std::min(green, blue));
  const float delta = max - min;
  *v = max;
  if (max <= 0.0f) {
    *h = 0.0f;
    *s = 0.0f;
    return;
  }
  *s = delta / max;
  if (delta == 0.0f) {
    *h = 0.0f;  // grey: the hue does not matter since the saturation is 0
    return;
  }
  float hue;
  if (max == red) {
    hue = (green - blue) / delta;
  } else if (max == green) {
    hue = 2.0f + (blue - red) / delta;
  } else {
    hue = 4.0f + (red - green) / delta;
  }
  hue = hue * 0.16666667f;
  if (hue < 0.0f) hue = hue + 1.0f;
  *h = hue;
}

void hsvToRgbBytes(float h, float s, float v, int32_t* r, int32_t* g, int32_t* b) {
  const float value = v * 255.0f;
  if (s <= 0.0f) {
    *r = *g = *b = static_cast<int32_t>(value);
    return;
  }
  const float h6 = h * 6.0f;
  if (!(h6 >= 0.0f && h6 < 6.0f)) return;  // no sector: the outputs keep what they held
  const int32_t sector = static_cast<int32_t>(h6);
  const float f = h6 - std::floor(h6);
  const int32_t p = static_cast<int32_t>((1.0f - s) * value);
  const int32_t q = static_cast<int32_t>((1.0f - s * f) * value);
  const int32_t t = static_cast<int32_t>((1.0f - s * (1.0f - f)) * value);
  const int32_t w = static_cast<int32_t>(value);
  const int32_t table[6][3] = {{w, t, p}, {q, w, p}, {p, w, t}, {p, q, w}, {t, p, w}, {w, p, q}};
  *r = table[sector][0];
  *g = table[sector][1];
  *b = table[sector][2];
}

namespace {

// The two HSV operations: `toHsv` turns a pixel's red, green and blue (and the operands) into hue,
// saturation and value; the conversion back starts from the pixel's own colour, kept where the hue
// selects no sector; alpha is kept.
template <typename ToHsv>
void hsvOperation(const OpInputs& in, uint32_t* work, ToHsv toHsv) {
  const float hueShift = static_cast<float>(in.p0) * kByteToUnit;
  const float saturationScale = static_cast<float>(in.p1) * 0.0078125f;
  forEachPixel(work, [&](int i) {
    const uint32_t pixel = in.dest[i];
    int32_t r = channelOf(pixel, 2);
    int32_t g = channelOf(pixel, 1);
    int32_t b = channelOf(pixel, 0);
    float h, s, v;
    toHsv(r, g, b, hueShift, saturationScale, &h, &s, &v);
    hsvToRgbBytes(h, s, v, &r, &g, &b);
    return rgbPixel(pixel, r, g, b);
  });
}

}  // namespace

void hsvAdjust(const OpInputs& in, uint32_t* work) {
  hsvOperation(in, work, [](int32_t r, int32_t g, int32_t b, float hueShift, float saturationScale, float* h, float* s,
                            float* v) {
    rgbToHsv(r, g, b, h, s, v);
    *h = *h + hueShift;
    while (*h > 1.0f) *h = *h - 1.0f;
    *s = *s * saturationScale;
    if (*s > 1.0f) *s = 1.0f;
  });
}

void hsvToRgb(const OpInputs& in, uint32_t* work) {
  // Red is read as hue, green as saturation, blue as value.
  hsvOperation(in, work, [](int32_t r, int32_t g, int32_t b, float hueShift, float saturationScale, float* h, float* s,
                            float* v) {
    *h = static_cast<float>(r) * kByteToUnit + hueShift;
    if (*h > 1.0f) *h = *h - 1.0f;
    *s = static_cast<float>(g) * kByteToUnit * saturationScale;
    if (*s > 1.0f) *s = 1.0f;
    *v = static_cast<float>(b) * kByteToUnit;
  });
}
