// The fixed-point texel kernels: a row blended once per column (long spans whose v is constant) and the
// group filter (every other span) give each pixel the same texel values and the same exact alpha, so
// a pixel does not depend on how its row was cut into spans. Magnified and copied rows, both address
// modes (reading past both edges), vertical weights 0, between and 255, textures with and without alpha.
// And the eight-pixel (AVX2) filters give the four-pixel filters' values.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "compat/d3d8/fixed_texels.h"
#include "compat/d3d8/fixed_texels_wide.h"
#include "compat/d3d8/pixel_routine.h"

namespace {

using namespace d3d8compat;
using namespace d3d8compat::fixed;

bool sameBytes(__m128i a, __m128i b) { return _mm_movemask_epi8(_mm_cmpeq_epi8(a, b)) == 0xFFFF; }

// A power-of-two level of random texels (kept in `texels`, which the level points into).
SamplerLevel noiseLevel(int width, int height, unsigned seed, std::vector<uint32_t>* texels) {
  std::mt19937 random(seed);
  texels->resize(static_cast<size_t>(width) * height);
  for (uint32_t& t : *texels) t = static_cast<uint32_t>(random());
  SamplerLevel level{};
  level.bits = reinterpret_cast<const BYTE*>(texels->data());
  level.width = width;
  level.height = height;
  level.pitch = width * 4;
  level.powerOfTwo = true;
  level.widthF = static_cast<float>(width);
  level.heightF = static_cast<float>(height);
  return level;
}

TEST(FixedTexels, BlendedRowsGiveTheGroupFiltersValues) {
  constexpr int kPixels = 96;
  std::vector<uint32_t> texels;
  SamplerLevel level = noiseLevel(32, 8, 5, &texels);
  static ColumnBuffer buffer;
  int compared = 0, differing = 0;
  for (bool clamp : {false, true}) {
    for (bool forceAlpha : {false, true}) {
      for (int fv : {0, 77, 255}) {
        for (float texelsPerPixel : {0.23f, 0.5f, 1.0f}) {
          SCOPED_TRACE(testing::Message() << "clamp " << clamp << ", no alpha " << forceAlpha << ", fv " << fv
                                          << ", texels per pixel " << texelsPerPixel);
          level.forceAlpha = forceAlpha;
          FixedSpan span = fixedSpan(level, clamp, clamp);
          span.rowV = true;
          span.upper = level.bits + 3 * level.pitch;
          span.lower = level.bits + 4 * level.pitch;
          span.rowFv = fv;
          span.vertical = fv != 0;
          // Starts left of the texture and, wrapping or clamped, runs past its right edge.
          const RowPlane uPlane = {_mm_set1_ps(-0.31f), _mm_set1_ps(texelsPerPixel / level.widthF)};
          const __m128 first = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f), w = _mm_set1_ps(1.0f);
          BlendedRow row;
          ASSERT_TRUE(blendedRow(span, uPlane, first, w, kPixels, &buffer, &row));
          for (int x = 0; x < kPixels; x += 4) {
            const __m128 u = _mm_mul_ps(planeAt(uPlane, _mm_add_ps(first, _mm_set1_ps(static_cast<float>(x)))), w);
            const FilteredGroup direct = filterGroup(span, u, _mm_set1_ps(0.4f));
            FilteredGroup fromRow;
            if (!filterGroupFromRow(span, row, u, &fromRow)) continue;
            ++compared;
            const __m128 alphaDirect = exactAlpha(span, direct), alphaRow = exactAlpha(span, fromRow);
            const bool same = sameBytes(direct.pair01.texels, fromRow.pair01.texels) &&
                              sameBytes(direct.pair23.texels, fromRow.pair23.texels) &&
                              std::memcmp(&alphaDirect, &alphaRow, sizeof alphaRow) == 0;
            differing += same ? 0 : 1;
          }
        }
      }
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GE(compared, 2 * 2 * 3 * 3 * 20);  // nearly every group lies inside its row
}

// The eight-pixel filters (AVX2) against the four-pixel ones, pixel by pixel: per-pixel u and v (a
// turned row), both address modes, textures with and without alpha; the texel values and, from the
// kept columns, the exact alpha of each half.
__attribute__((target("avx2"))) void compareEightPixelFilters(const FixedSpan& span, __m128 uLow, __m128 vLow,
                                                              __m128 uHigh, __m128 vHigh, int* differing) {
  __m256i texels0145, texels2367;
  Columns8 columns;
  filterTexels8(span, uLow, uHigh, vLow, vHigh, &texels0145, &texels2367, &columns);
  const FilteredGroup low = filterGroup(span, uLow, vLow), high = filterGroup(span, uHigh, vHigh);
  const __m128 alphaLow = exactAlpha(span, low), alphaHigh = exactAlpha(span, high);
  const __m128 alphaLow8 = exactAlpha8<0>(span, columns), alphaHigh8 = exactAlpha8<1>(span, columns);
  const bool same = sameBytes(_mm256_castsi256_si128(texels0145), low.pair01.texels) &&
                    sameBytes(_mm256_extracti128_si256(texels0145, 1), high.pair01.texels) &&
                    sameBytes(_mm256_castsi256_si128(texels2367), low.pair23.texels) &&
                    sameBytes(_mm256_extracti128_si256(texels2367, 1), high.pair23.texels) &&
                    std::memcmp(&alphaLow, &alphaLow8, sizeof alphaLow) == 0 &&
                    std::memcmp(&alphaHigh, &alphaHigh8, sizeof alphaHigh) == 0;
  *differing += same ? 0 : 1;
}

TEST(FixedTexels, EightPixelFiltersGiveTheFourPixelFiltersValues) {
  if (!wideGroupsAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
  std::vector<uint32_t> texels;
  SamplerLevel level = noiseLevel(32, 16, 9, &texels);
  int differing = 0, compared = 0;
  for (bool clamp : {false, true}) {
    for (bool forceAlpha : {false, true}) {
      level.forceAlpha = forceAlpha;
      const FixedSpan span = fixedSpan(level, clamp, clamp);
      for (int x = 0; x < 200; x += 8, ++compared) {
        // u and v both change along the row, starting outside the texture.
        auto at = [x](float start, float step, int k) { return start + step * static_cast<float>(x + k); };
        const __m128 uLow = _mm_setr_ps(at(-0.3f, 0.011f, 0), at(-0.3f, 0.011f, 1), at(-0.3f, 0.011f, 2), at(-0.3f, 0.011f, 3));
        const __m128 uHigh = _mm_setr_ps(at(-0.3f, 0.011f, 4), at(-0.3f, 0.011f, 5), at(-0.3f, 0.011f, 6), at(-0.3f, 0.011f, 7));
        const __m128 vLow = _mm_setr_ps(at(1.2f, -0.007f, 0), at(1.2f, -0.007f, 1), at(1.2f, -0.007f, 2), at(1.2f, -0.007f, 3));
        const __m128 vHigh = _mm_setr_ps(at(1.2f, -0.007f, 4), at(1.2f, -0.007f, 5), at(1.2f, -0.007f, 6), at(1.2f, -0.007f, 7));
        compareEightPixelFilters(span, uLow, vLow, uHigh, vHigh, &differing);
      }
    }
  }
  EXPECT_EQ(differing, 0) << "of " << compared;
}

}  // namespace
