// Geometric and neighbourhood filters: Shift, Rotate, SineWarp, Displace, Polar and the two embosses,
// and the bilinear sampler the warps share (Blur has its own file). Every coordinate wraps modulo 256.
// Polar's angle and radius are taken in double precision (atan2 and sqrt of the integer offsets) and
// multiplied by the single-precision scales before truncation.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "texgen/fixed_point.h"
#include "texgen/generator.h"
#include "texgen/operations.h"

namespace {

uint32_t pixelAt(const uint32_t* image, int x, int y) { return image[layerIndex(x, y)]; }

// (Rsum * k) / 64 - (Lsum * k) / 64 + 128, clamped; both sums are of three bytes.
int32_t embossValue(int32_t rsum, int32_t lsum, int32_t k) { return saturateByte((rsum * k) / 64 - (lsum * k) / 64 + 128); }

}  // namespace

uint32_t sampleBilinearScalar(const uint32_t* image, int32_t u, int32_t v) {
  const int x0 = (u >> 8) & 255;
  const int y0 = (v >> 8) & 255;
  const int x1 = (x0 + 1) & 255;
  const int y1 = (y0 + 1) & 255;
  const int32_t wx = x12(u & 255);
  const int32_t wy = x12(v & 255);
  const uint32_t p00 = pixelAt(image, x0, y0);
  const uint32_t p10 = pixelAt(image, x1, y0);
  const uint32_t p01 = pixelAt(image, x0, y1);
  const uint32_t p11 = pixelAt(image, x1, y1);
  return perByte([&](int k) {
    const int32_t a = x12(channelOf(p00, k));
    const int32_t b = x12(channelOf(p10, k));
    const int32_t c0 = x12(channelOf(p01, k));
    const int32_t d = x12(channelOf(p11, k));
    const int32_t top = a + 16 * mulHigh(b - a, wx);
    const int32_t bottom = c0 + 16 * mulHigh(d - c0, wx);
    const int32_t mid = top + 16 * mulHigh(bottom - top, wy);
    return mid >= 0 ? mid >> 4 : 255;  // a slightly negative mid reads as 255
  });
}

#if defined(__SSE2__)
// The same rule in 16-bit lanes: the left pixels (a, c0) and the right ones (b, d) side by side; the
// signed high product _mm_mulhi_epi16 is MulHigh exactly, and every intermediate fits in 16 bits.
uint32_t sampleBilinear(const uint32_t* image, int32_t u, int32_t v) {
  const int x0 = (u >> 8) & 255;
  const int y0 = (v >> 8) & 255;
  const int x1 = (x0 + 1) & 255;
  const int y1 = (y0 + 1) & 255;
  const __m128i zero = _mm_setzero_si128();
  const __m128i row0 = _mm_unpacklo_epi8(
      _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(pixelAt(image, x0, y0))),
                         _mm_cvtsi32_si128(static_cast<int>(pixelAt(image, x1, y0)))),
      zero);
  const __m128i row1 = _mm_unpacklo_epi8(
      _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(pixelAt(image, x0, y1))),
                         _mm_cvtsi32_si128(static_cast<int>(pixelAt(image, x1, y1)))),
      zero);
  auto widen12 = [](__m128i bytes) { return _mm_srli_epi16(_mm_or_si128(_mm_slli_epi16(bytes, 8), bytes), 4); };
  const __m128i left = widen12(_mm_unpacklo_epi64(row0, row1));   // a, c0
  const __m128i right = widen12(_mm_unpackhi_epi64(row0, row1));  // b, d
  const __m128i wx = _mm_set1_epi16(static_cast<int16_t>(x12(u & 255)));
  const __m128i wy = _mm_set1_epi16(static_cast<int16_t>(x12(v & 255)));
  const __m128i topBottom = _mm_add_epi16(left, _mm_slli_epi16(_mm_mulhi_epi16(_mm_sub_epi16(right, left), wx), 4));
  const __m128i bottom = _mm_unpackhi_epi64(topBottom, topBottom);
  const __m128i mid =
      _mm_add_epi16(topBottom, _mm_slli_epi16(_mm_mulhi_epi16(_mm_sub_epi16(bottom, topBottom), wy), 4));
  const __m128i negative = _mm_cmplt_epi16(mid, zero);
  const __m128i result = _mm_or_si128(_mm_andnot_si128(negative, _mm_srai_epi16(mid, 4)),
                                      _mm_and_si128(negative, _mm_set1_epi16(255)));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(result, result)));
}
#else
uint32_t sampleBilinear(const uint32_t* image, int32_t u, int32_t v) { return sampleBilinearScalar(image, u, v); }
#endif

void shift(const OpInputs& in, uint32_t* work) {
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) work[y * 256 + x] = pixelAt(in.dest, x - in.p0, y - in.p1);
  }
}

void rotate(const OpInputs& in, uint32_t* work) {
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) work[y * 256 + x] = pixelAt(in.dest, y, 255 - x);
  }
}

void sineWarp(const OpInputs& in, uint32_t* work) {
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const int32_t u = 256 * x + in.p1 * g_cosine[(y * in.p0) & 255];
      const int32_t v = 256 * y + in.p3 * g_cosine[(x * in.p2) & 255];
      work[y * 256 + x] = sampleBilinear(in.dest, u, v);
    }
  }
}

void displace(const OpInputs& in, uint32_t* work) {
  const int32_t ou = -(((in.p0 * in.p2) >> 8) * 256);
  const int32_t ov = -(((in.p1 * in.p2) >> 8) * 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const int i = y * 256 + x;
      const int32_t u = 256 * x + ou + channelOf(in.a[i], 0) * in.p0;
      const int32_t v = 256 * y + ov + channelOf(in.b[i], 0) * in.p1;
      work[i] = sampleBilinear(in.dest, u, v);
    }
  }
}

void polar(const OpInputs& in, uint32_t* work) {
  // atan2 and sqrt of each pixel's offset from the centre do not depend on the operands: computed at
  // the first Polar and kept (start-up only; 1 MiB).
  static std::vector<double> angle, radius;
  if (angle.empty()) {
    angle.resize(kLayerPixels);
    radius.resize(kLayerPixels);
    for (int y = -128; y < 128; ++y) {
      for (int x = -128; x < 128; ++x) {
        const int i = (y + 128) * 256 + (x + 128);
        angle[i] = std::atan2(static_cast<double>(y), static_cast<double>(x));
        radius[i] = std::sqrt(static_cast<double>(x * x + y * y));
      }
    }
  }
  const float angularScale = static_cast<float>(in.p1) * 10430.378f;  // 65536 / 2 pi per repeat
  const int32_t radialScale = 8 * in.p0;
  for (int i = 0; i < kLayerPixels; ++i) {
    const int32_t u = static_cast<int32_t>(angle[i] * angularScale);
    const int32_t v = static_cast<int32_t>(radius[i] * radialScale);
    work[i] = sampleBilinear(in.dest, u, v);
  }
}

void embossH(const OpInputs& in, uint32_t* work) {
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      work[y * 256 + x] = perByte([&](int k) {
        const int32_t rsum = channelOf(pixelAt(in.dest, x + 1, y - 1), k) + channelOf(pixelAt(in.dest, x + 1, y), k) +
                             channelOf(pixelAt(in.dest, x + 1, y + 1), k);
        const int32_t lsum = channelOf(pixelAt(in.dest, x - 1, y - 1), k) + channelOf(pixelAt(in.dest, x - 1, y), k) +
                             channelOf(pixelAt(in.dest, x - 1, y + 1), k);
        return embossValue(rsum, lsum, in.p0);
      });
    }
  }
}

void embossD(const OpInputs& in, uint32_t* work) {
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      work[y * 256 + x] = perByte([&](int k) {
        const int32_t rsum = channelOf(pixelAt(in.dest, x + 1, y), k) + channelOf(pixelAt(in.dest, x, y + 1), k) +
                             channelOf(pixelAt(in.dest, x + 1, y + 1), k);
        const int32_t lsum = channelOf(pixelAt(in.dest, x - 1, y), k) + channelOf(pixelAt(in.dest, x, y - 1), k) +
                             channelOf(pixelAt(in.dest, x - 1, y - 1), k);
        return embossValue(rsum, lsum, in.p0);
      });
    }
  }
}
