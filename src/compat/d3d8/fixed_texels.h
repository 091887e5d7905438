// Fixed-point texturing shared by the fixed-point row routines (fixed_rows.cpp, fixed_blend.cpp): the
// texels of four-pixel groups on triangles without perspective, bilinear on one level with 8-bit
// weights and 16-bit intermediates, two pixels per vector, and the 8-bit frame-buffer blends. Texel
// positions and weights are found with the float kernels' own operations, so the two differ only in
// rounding: each channel within one step. Included by those two files only.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>

#include "compat/d3d8/output_merge.h"
#include "compat/d3d8/pixel_group.h"
#include "compat/d3d8/stage_sampling.h"

namespace d3d8compat {
namespace fixed {

using namespace routines;

#define D3D8_FIXED_INLINE inline __attribute__((always_inline))

// Per-pixel 16-bit lanes of four 32-bit values below 2^15: (v0 x4, v1 x4) and (v2 x4, v3 x4).
D3D8_FIXED_INLINE void spreadPairs(__m128i values, __m128i* low, __m128i* high) {
  const __m128i words = _mm_packs_epi32(values, values);       // v0 v1 v2 v3 (16-bit, twice)
  const __m128i doubled = _mm_unpacklo_epi16(words, words);    // v0 v0 v1 v1 v2 v2 v3 v3
  *low = _mm_unpacklo_epi32(doubled, doubled);
  *high = _mm_unpackhi_epi32(doubled, doubled);
}

// left - left * fu / 256 + right * fu / 256 per channel: two columns' 16-bit values blended by the
// horizontal weights fu << 8 (no weight reaches 2^16, so each product's high half is exact to 1/256).
D3D8_FIXED_INLINE __m128i horizontal(__m128i left, __m128i right, __m128i fuShifted) {
  return _mm_add_epi16(_mm_sub_epi16(left, _mm_mulhi_epu16(left, fuShifted)), _mm_mulhi_epu16(right, fuShifted));
}

// Texels of one four-pixel group: per pixel its left and right texel of the upper and lower row (low
// 8 bytes), and the horizontal and vertical weights (32-bit lanes, 0..255).
struct GroupTexels {
  __m128i upper[4], lower[4];
  __m128i fu, fv;
};

// A span's constants.
struct FixedSpan {
  const BYTE* bits;
  int pitch, width, height;
  float widthScale, heightScale;
  bool clampU, clampV;
  bool rowV;                  // v is constant along the row: its texel rows and weight are found once
  const BYTE* upper;          // rowV: the two texel rows
  const BYTE* lower;
  int rowFv;                  // rowV: the vertical weight
  bool vertical;              // the lower row is blended in (false only where rowFv is 0)
  __m128i alphaOr;            // 0xFF000000 where the level has no alpha (read as 1)
  bool forceAlpha;
};

// The constants of one level sampled with a v of its own at every pixel.
inline FixedSpan fixedSpan(const SamplerLevel& level, bool clampU, bool clampV) {
  FixedSpan span;
  span.bits = level.bits;
  span.pitch = level.pitch;
  span.width = level.width;
  span.height = level.height;
  span.widthScale = level.widthF;
  span.heightScale = level.heightF;
  span.clampU = clampU;
  span.clampV = clampV;
  span.rowV = false;
  span.upper = span.lower = nullptr;
  span.rowFv = 0;
  span.vertical = true;
  span.alphaOr = _mm_set1_epi32(level.forceAlpha ? static_cast<int>(0xFF000000u) : 0);
  span.forceAlpha = level.forceAlpha;
  return span;
}

// The span constants of level k of a stage sampled through `sampling` on row y of triangle s.
inline FixedSpan fixedSpan(const StageLocal& stage, const TriangleSetup& s, const RowSampling& sampling, int k = 0) {
  FixedSpan span = fixedSpan(*sampling.levels[k], stage.clampU, stage.clampV);
  span.rowV = s.texDx[stage.offset + 1] == 0.0f;
  span.upper = sampling.rows[k].upper;
  span.lower = sampling.rows[k].lower;
  span.rowFv = static_cast<int>(_mm_cvtss_f32(sampling.rows[k].fv) * 256.0f);
  span.vertical = !span.rowV || span.rowFv != 0;
  return span;
}

// Left and right texel of `row` at byte offsets first and second, in the low 8 bytes.
D3D8_FIXED_INLINE __m128i texelPair(const BYTE* row, int32_t first, int32_t second) {
  int32_t a, b;
  __builtin_memcpy(&a, row + first, 4);
  __builtin_memcpy(&b, row + second, 4);
  return _mm_unpacklo_epi32(_mm_cvtsi32_si128(a), _mm_cvtsi32_si128(b));
}

// Texel positions of four coordinates on an axis of `size` texels, in 1/256 of a texel from the first
// texel's centre, floored: the texel index times 256 plus the weight of the next texel.
D3D8_FIXED_INLINE __m128i texelPositions(__m128 t, float size) {
  return filters::floorToInt4(
      _mm_sub_ps(_mm_mul_ps(_mm_mul_ps(t, _mm_set1_ps(size)), _mm_set1_ps(256.0f)), _mm_set1_ps(128.0f)));
}

// The group's texel positions and texels, as bilinear32x4 (per-pixel v) or bilinear32x4Row (rowV) finds them.
D3D8_FIXED_INLINE void fetchGroup(const FixedSpan& span, __m128 u, __m128 v, GroupTexels* g) {
  const __m128i px = texelPositions(u, span.widthScale);
  g->fu = _mm_and_si128(px, _mm_set1_epi32(255));
  __m128i x0, x1;
  filters::neighbours4(_mm_srai_epi32(px, 8), span.width, span.clampU, &x0, &x1);
  const __m128i left = _mm_slli_epi32(x0, 2), right = _mm_slli_epi32(x1, 2);
  const bool adjacentColumns = _mm_movemask_epi8(_mm_cmpeq_epi32(right, _mm_add_epi32(left, _mm_set1_epi32(4)))) == 0xFFFF;
  alignas(16) int32_t first[4], second[4];
  if (span.rowV) {
    g->fv = _mm_set1_epi32(span.rowFv);
    _mm_store_si128(reinterpret_cast<__m128i*>(first), left);
    if (adjacentColumns) {
      for (int k = 0; k < 4; ++k) {
        g->upper[k] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(span.upper + first[k]));
        g->lower[k] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(span.lower + first[k]));
      }
    } else {
      _mm_store_si128(reinterpret_cast<__m128i*>(second), right);
      for (int k = 0; k < 4; ++k) {
        g->upper[k] = texelPair(span.upper, first[k], second[k]);
        g->lower[k] = texelPair(span.lower, first[k], second[k]);
      }
    }
    return;
  }
  const __m128i py = texelPositions(v, span.heightScale);
  g->fv = _mm_and_si128(py, _mm_set1_epi32(255));
  __m128i y0, y1;
  filters::neighbours4(_mm_srai_epi32(py, 8), span.height, span.clampV, &y0, &y1);
  // Rows times pitch in one 16-bit multiply-add (rows and pitches are below 2^15).
  const __m128i pitch = _mm_set1_epi32(span.pitch);
  const __m128i upperRow = _mm_madd_epi16(y0, pitch), lowerRow = _mm_madd_epi16(y1, pitch);
  const bool adjacentRows = _mm_movemask_epi8(_mm_cmpeq_epi32(y1, _mm_add_epi32(y0, _mm_set1_epi32(1)))) == 0xFFFF;
  _mm_store_si128(reinterpret_cast<__m128i*>(first), _mm_add_epi32(upperRow, left));
  if (adjacentColumns && adjacentRows) {
    for (int k = 0; k < 4; ++k) {
      const BYTE* p = span.bits + first[k];
      g->upper[k] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
      g->lower[k] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + span.pitch));
    }
    return;
  }
  alignas(16) int32_t third[4], fourth[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(second), _mm_add_epi32(upperRow, right));
  _mm_store_si128(reinterpret_cast<__m128i*>(third), _mm_add_epi32(lowerRow, left));
  _mm_store_si128(reinterpret_cast<__m128i*>(fourth), _mm_add_epi32(lowerRow, right));
  for (int k = 0; k < 4; ++k) {
    g->upper[k] = texelPair(span.bits, first[k], second[k]);
    g->lower[k] = texelPair(span.bits, third[k], fourth[k]);
  }
}

// Two pixels' texel pairs -> the texel values T (0..65280, 1/256 of a step), in 16-bit lanes (pixel a,
// b). Each column is blended vertically first, upper * (256 - fv) + lower * fv (exact in 16 bits), then
// the two columns by fu as left - left * fu / 256 + right * fu / 256 (no weight reaches 2^16): the
// order of a blended row (blendRow, filterGroupFromRow), so a pixel has the same value whichever way
// its span is read. The columns are kept for an exact alpha.
struct FilteredPair {
  __m128i left, right, texels;
};
D3D8_FIXED_INLINE FilteredPair filterPair(const FixedSpan& span, __m128i upperA, __m128i upperB, __m128i lowerA,
                                          __m128i lowerB, __m128i fuRight, __m128i fvLower) {
  // Each pair holds a pixel's left and right texel; interleaved per 32 bits: left a, left b, right a, right b.
  const __m128i zero = _mm_setzero_si128();
  const __m128i upper = _mm_or_si128(_mm_unpacklo_epi32(upperA, upperB), span.alphaOr);
  const __m128i upperLeft = _mm_unpacklo_epi8(upper, zero), upperRight = _mm_unpackhi_epi8(upper, zero);
  FilteredPair f;
  if (span.vertical) {
    const __m128i lower = _mm_or_si128(_mm_unpacklo_epi32(lowerA, lowerB), span.alphaOr);
    const __m128i fvUpper = _mm_sub_epi16(_mm_set1_epi16(256), fvLower);
    f.left = _mm_add_epi16(_mm_mullo_epi16(upperLeft, fvUpper), _mm_mullo_epi16(_mm_unpacklo_epi8(lower, zero), fvLower));
    f.right = _mm_add_epi16(_mm_mullo_epi16(upperRight, fvUpper), _mm_mullo_epi16(_mm_unpackhi_epi8(lower, zero), fvLower));
  } else {
    f.left = _mm_slli_epi16(upperLeft, 8);
    f.right = _mm_slli_epi16(upperRight, 8);
  }
  f.texels = horizontal(f.left, f.right, _mm_slli_epi16(fuRight, 8));
  return f;
}

// The alpha lanes (3 and 7) of two pairs' 16-bit values as floats, lanes a, b, c, d.
D3D8_FIXED_INLINE __m128 alphaLanes(__m128i ab, __m128i cd) {
  const __m128 first = _mm_castsi128_ps(_mm_srli_epi64(ab, 48)), second = _mm_castsi128_ps(_mm_srli_epi64(cd, 48));
  return _mm_cvtepi32_ps(_mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0))));
}

// Texel values times the multiplier, rounded to 8 bits.
D3D8_FIXED_INLINE __m128i modulate(__m128i texels, __m128i multiplier, __m128i whole) {
  const __m128i scaled = _mm_add_epi16(_mm_mulhi_epu16(texels, multiplier), _mm_and_si128(texels, whole));
  return _mm_srli_epi16(_mm_adds_epu16(scaled, _mm_set1_epi16(128)), 8);
}

// A group's texel values T for both pixel pairs, with the columns and weights kept for an exact alpha.
struct FilteredGroup {
  FilteredPair pair01, pair23;
  __m128i fu;  // horizontal weights, 32-bit lanes
};
D3D8_FIXED_INLINE FilteredGroup filterGroup(const FixedSpan& span, __m128 u, __m128 v) {
  GroupTexels g;
  fetchGroup(span, u, v, &g);
  __m128i fuRight01, fuRight23, fv01, fv23;
  spreadPairs(g.fu, &fuRight01, &fuRight23);
  if (span.rowV) {
    fv01 = fv23 = _mm_set1_epi16(static_cast<short>(span.rowFv));
  } else {
    spreadPairs(g.fv, &fv01, &fv23);
  }
  return {filterPair(span, g.upper[0], g.upper[1], g.lower[0], g.lower[1], fuRight01, fv01),
          filterPair(span, g.upper[2], g.upper[3], g.lower[2], g.lower[3], fuRight23, fv23), g.fu};
}

// A span's texel row blended vertically once per texel column, for rows whose v is the same at every
// pixel (rowV): column i - first holds upper * (256 - fv) + lower * fv per channel (exact, in 1/256 of a
// step), the texel of column i as the span addresses it. A pixel's value is then its two columns blended
// by its horizontal weight, exactly as filterPair computes it. Columns are shared by the pixels of a
// magnified or copied row, so each texel is read and blended once per span instead of once per pixel.
struct BlendedRow {
  const uint64_t* columns;
  int first, count;
};

// Room for a row's columns: a level's width and the margins, and three columns written past the last.
constexpr int kColumnCapacity = static_cast<int>(kMaxTextureSize) + 8;
struct ColumnBuffer {
  uint64_t columns[kColumnCapacity + 3];
};

// Columns first..last of `span`'s row into `buffer`; false (nothing written) where they do not fit.
inline bool blendRow(const FixedSpan& span, int first, int last, ColumnBuffer* buffer, BlendedRow* row) {
  if (!span.rowV || last - first + 1 > kColumnCapacity) return false;
  const __m128i zero = _mm_setzero_si128();
  const __m128i lowerWeight = _mm_set1_epi16(static_cast<short>(span.rowFv));
  const __m128i upperWeight = _mm_set1_epi16(static_cast<short>(256 - span.rowFv));
  auto blend = [&](__m128i upper, __m128i lower) {  // two columns, from the low 8 bytes of each row
    return _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(_mm_or_si128(upper, span.alphaOr), zero), upperWeight),
                         _mm_mullo_epi16(_mm_unpacklo_epi8(_mm_or_si128(lower, span.alphaOr), zero), lowerWeight));
  };
  auto texel = [&span](const BYTE* rowBits, int i) {
    const int x = span.clampU ? std::clamp(i, 0, span.width - 1) : (i & (span.width - 1));
    int32_t word;
    __builtin_memcpy(&word, rowBits + 4 * x, 4);
    return _mm_cvtsi32_si128(word);
  };
  for (int i = first; i <= last;) {
    uint64_t* out = buffer->columns + (i - first);
    // Four columns inside one repetition of the row are four texels side by side.
    const int x = span.clampU ? i : (i & (span.width - 1));
    if (x >= 0 && x + 3 < span.width && (span.clampU || x + 3 == ((i + 3) & (span.width - 1)))) {
      const __m128i upper = _mm_loadu_si128(reinterpret_cast<const __m128i*>(span.upper + 4 * x));
      const __m128i lower = _mm_loadu_si128(reinterpret_cast<const __m128i*>(span.lower + 4 * x));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), blend(upper, lower));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2), blend(_mm_srli_si128(upper, 8), _mm_srli_si128(lower, 8)));
      i += 4;
    } else {
      const __m128i upper = _mm_unpacklo_epi32(texel(span.upper, i), texel(span.upper, i + 1));
      const __m128i lower = _mm_unpacklo_epi32(texel(span.lower, i), texel(span.lower, i + 1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), blend(upper, lower));
      i += 2;
    }
  }
  *row = {buffer->columns, first, last - first + 1};
  return true;
}

// The blended row of a rowV span where that pays: the span's columns (from its first and last pixel,
// with a column's margin each side) number no more than its pixels and a few. u is uPlane times w, and
// lane 0 of fx the span's first pixel. Groups whose columns still fall outside (rounding along the row)
// take filterGroup, with the same values.
inline bool blendedRow(const FixedSpan& span, const RowPlane& uPlane, __m128 fx, __m128 w, int pixels,
                       ColumnBuffer* buffer, BlendedRow* row) {
  if (!span.rowV || pixels < 8) return false;
  const __m128 ends = _mm_mul_ps(
      planeAt(uPlane, _mm_add_ps(_mm_shuffle_ps(fx, fx, 0), _mm_setr_ps(0.0f, static_cast<float>(pixels - 1), 0.0f, 0.0f))), w);
  const __m128i px = texelPositions(ends, span.widthScale);
  alignas(16) int32_t at[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(at), _mm_srai_epi32(px, 8));
  const int first = std::min(at[0], at[1]) - 1, last = std::max(at[0], at[1]) + 2;
  if (last - first + 1 > pixels + 8) return false;
  return blendRow(span, first, last, buffer, row);
}

// One group's texel values from a blended row; false (f untouched) where a pixel's columns fall outside it.
D3D8_FIXED_INLINE bool filterGroupFromRow(const FixedSpan& span, const BlendedRow& row, __m128 u, FilteredGroup* f) {
  const __m128i px = texelPositions(u, span.widthScale);
  const __m128i index = _mm_sub_epi32(_mm_srai_epi32(px, 8), _mm_set1_epi32(row.first));
  const __m128i outside = _mm_or_si128(_mm_cmplt_epi32(index, _mm_setzero_si128()),
                                       _mm_cmpgt_epi32(index, _mm_set1_epi32(row.count - 2)));
  if (_mm_movemask_epi8(outside) != 0) return false;
  alignas(16) int32_t at[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(at), index);
  // Per pixel its left and right column (16 bytes); two pixels' lefts and rights side by side.
  auto columns = [&row, &at](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.columns + at[k])); };
  const __m128i c0 = columns(0), c1 = columns(1), c2 = columns(2), c3 = columns(3);
  f->fu = _mm_and_si128(px, _mm_set1_epi32(255));
  __m128i fu01, fu23;
  spreadPairs(f->fu, &fu01, &fu23);
  auto pair = [](FilteredPair* p, __m128i a, __m128i b, __m128i fu) {
    p->left = _mm_unpacklo_epi64(a, b);
    p->right = _mm_unpackhi_epi64(a, b);
    p->texels = horizontal(p->left, p->right, _mm_slli_epi16(fu, 8));
  };
  pair(&f->pair01, c0, c1, fu01);
  pair(&f->pair23, c2, c3, fu23);
  return true;
}

// The texel alpha of the group's pixels as the float kernels compute it (lanes 0..3): its columns'
// alphas (exact integers) blended by fu in float, exact below 2^24, so the value is the float
// kernel's bilinear alpha, rounded once by the same final scale.
D3D8_FIXED_INLINE __m128 exactAlpha(const FixedSpan& span, const FilteredGroup& f) {
  if (span.forceAlpha) return _mm_set1_ps(1.0f);
  const __m128 left = alphaLanes(f.pair01.left, f.pair23.left), right = alphaLanes(f.pair01.right, f.pair23.right);
  const __m128 fu = _mm_cvtepi32_ps(f.fu);
  const __m128 sum = _mm_add_ps(_mm_mul_ps(left, _mm_sub_ps(_mm_set1_ps(256.0f), fu)), _mm_mul_ps(right, fu));
  return _mm_mul_ps(_mm_mul_ps(sum, _mm_set1_ps(1.0f / 256.0f)), _mm_set1_ps(1.0f / (255.0f * 256.0f)));
}

// a * scale and b * scale rounded, as unsigned 16-bit lanes (a's four, then b's), saturated to 65535.
D3D8_FIXED_INLINE __m128i scaledPair(__m128 a, __m128 b, float scale) {
  const __m128 factor = _mm_set1_ps(scale);
  const __m128i bias = _mm_set1_epi32(0x8000);
  const __m128i low = _mm_sub_epi32(_mm_cvtps_epi32(_mm_mul_ps(a, factor)), bias);
  const __m128i high = _mm_sub_epi32(_mm_cvtps_epi32(_mm_mul_ps(b, factor)), bias);
  return _mm_xor_si128(_mm_packs_epi32(low, high), _mm_set1_epi16(static_cast<short>(0x8000)));
}

// Two multipliers (0..1, lanes b, g, r, a) in 1/65536 as 16-bit lanes; 1 saturates to 65535.
D3D8_FIXED_INLINE __m128i multiplierPair(__m128 a, __m128 b) { return scaledPair(a, b, 65536.0f); }

// Float texels of four pixels (lanes b, g, r, a, 0..1) as texel values T.
D3D8_FIXED_INLINE FilteredGroup fromFloatTexels(const __m128* texels) {
  FilteredGroup f;
  f.pair01.texels = scaledPair(texels[0], texels[1], 65280.0f);
  f.pair23.texels = scaledPair(texels[2], texels[3], 65280.0f);
  f.pair01.left = f.pair01.right = f.pair01.texels;
  f.pair23.left = f.pair23.right = f.pair23.texels;
  f.fu = _mm_setzero_si128();
  return f;
}

// fine + (coarse - fine) * weight on texel values, the weights per pixel (lanes 0..3, 0..1).
D3D8_FIXED_INLINE void blendLevels(FilteredGroup* fine, const FilteredGroup& coarse, __m128 weights) {
  __m128i w01, w23;
  spreadPairs(_mm_cvtps_epi32(_mm_mul_ps(weights, _mm_set1_ps(32767.0f))), &w01, &w23);
  w01 = _mm_slli_epi16(w01, 1);
  w23 = _mm_slli_epi16(w23, 1);
  auto lerp = [](__m128i a, __m128i b, __m128i w) {
    return _mm_add_epi16(_mm_sub_epi16(a, _mm_mulhi_epu16(a, w)), _mm_mulhi_epu16(b, w));
  };
  fine->pair01.texels = lerp(fine->pair01.texels, coarse.pair01.texels, w01);
  fine->pair23.texels = lerp(fine->pair23.texels, coarse.pair23.texels, w23);
}

// round(x / 255) for x below 65280, exactly.
D3D8_FIXED_INLINE __m128i divide255(__m128i x) {
  const __m128i biased = _mm_add_epi16(x, _mm_set1_epi16(128));
  return _mm_srli_epi16(_mm_add_epi16(biased, _mm_srli_epi16(biased, 8)), 8);
}

// SRCALPHA / INVSRCALPHA on two pixels' 8-bit channels in 16-bit lanes.
D3D8_FIXED_INLINE __m128i blendPair(__m128i src, __m128i dst) {
  const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(src, 0xFF), 0xFF);
  const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(src, alpha),
                                    _mm_mullo_epi16(dst, _mm_sub_epi16(_mm_set1_epi16(255), alpha)));
  return divide255(sum);
}

// Blends a group's source words (8-bit channels; out01 and out23 the same as 16-bit lanes) with the
// stored words as Blend says and returns the words to write.
template <BlendMode Blend>
D3D8_FIXED_INLINE __m128i blendGroup(__m128i source, __m128i out01, __m128i out23, __m128i stored, __m128i alphaOr) {
  __m128i words;
  if constexpr (Blend == BlendMode::kOpaque) {
    words = source;
  } else if constexpr (Blend == BlendMode::kAdditive) {
    words = _mm_adds_epu8(source, _mm_or_si128(stored, alphaOr));
  } else {
    const __m128i zero = _mm_setzero_si128();
    const __m128i dst = _mm_or_si128(stored, alphaOr);
    words = _mm_packus_epi16(blendPair(out01, _mm_unpacklo_epi8(dst, zero)), blendPair(out23, _mm_unpackhi_epi8(dst, zero)));
  }
  return _mm_or_si128(words, alphaOr);
}

#undef D3D8_FIXED_INLINE

}  // namespace fixed
}  // namespace d3d8compat
