// Eight-pixel (AVX2) forms of the fixed-point texel filters, for processors that have AVX2: the same
// arithmetic as fixed_texels.h on 256-bit vectors, so a pixel gets the same bytes either way. Eight
// pixels are held as pixels 0, 1 | 4, 5 in one vector and 2, 3 | 6, 7 in another (each 128-bit half
// as filterPair holds two pixels), which pack to pixels 0..3 | 4..7. The functions compile for AVX2
// only (target attribute); callers check wideGroups() first.
#pragma once

#include <immintrin.h>

#include "compat/d3d8/fixed_texels.h"

namespace d3d8compat {

// Whether spans may take the eight-pixel forms: the processor has AVX2 and tests have not turned them
// off (setWideGroups, fixed_blend.cpp).
bool wideGroups();

namespace fixed {

// horizontal() on 256-bit vectors.
__attribute__((target("avx2"))) inline __m256i horizontal8(__m256i left, __m256i right, __m256i fu) {
  const __m256i shifted = _mm256_slli_epi16(fu, 8);
  return _mm256_add_epi16(_mm256_sub_epi16(left, _mm256_mulhi_epu16(left, shifted)), _mm256_mulhi_epu16(right, shifted));
}

// The columns behind eight pixels' texel values (for an exact alpha): left and right in the texel
// values' lanes, and the horizontal weights of pixels 0..3 and 4..7 (32-bit lanes).
struct Columns8 {
  __m256i left0145, right0145, left2367, right2367;
  __m128i fuLow, fuHigh;
};

// One stage's columns for eight pixels of a blended row (u lanes of uLow: pixels 0..3, of uHigh: 4..7),
// as filterGroupFromRow finds them for each four, and their texel values T blended by fu: pixels
// 0, 1, 4, 5 in `texels0145` and 2, 3, 6, 7 in `texels2367` (four 16-bit channels per pixel); the
// columns too where `kept` is not null. False where a pixel's columns fall outside the row.
__attribute__((target("avx2"))) inline bool rowTexels8(const FixedSpan& span, const BlendedRow& row, __m128 uLow,
                                                       __m128 uHigh, __m256i* texels0145, __m256i* texels2367,
                                                       Columns8* kept = nullptr) {
  const __m128i pxLow = texelPositions(uLow, span.widthScale), pxHigh = texelPositions(uHigh, span.widthScale);
  const __m128i first = _mm_set1_epi32(row.first), lastPair = _mm_set1_epi32(row.count - 2);
  const __m128i indexLow = _mm_sub_epi32(_mm_srai_epi32(pxLow, 8), first);
  const __m128i indexHigh = _mm_sub_epi32(_mm_srai_epi32(pxHigh, 8), first);
  const __m128i zero = _mm_setzero_si128();
  const __m128i outside = _mm_or_si128(_mm_or_si128(_mm_cmplt_epi32(indexLow, zero), _mm_cmpgt_epi32(indexLow, lastPair)),
                                       _mm_or_si128(_mm_cmplt_epi32(indexHigh, zero), _mm_cmpgt_epi32(indexHigh, lastPair)));
  if (_mm_movemask_epi8(outside) != 0) return false;
  alignas(16) int32_t at[8];
  _mm_store_si128(reinterpret_cast<__m128i*>(at), indexLow);
  _mm_store_si128(reinterpret_cast<__m128i*>(at + 4), indexHigh);
  auto columns = [&row, &at](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row.columns + at[k])); };
  const __m256i a = _mm256_set_m128i(columns(4), columns(0)), b = _mm256_set_m128i(columns(5), columns(1));
  const __m256i c = _mm256_set_m128i(columns(6), columns(2)), d = _mm256_set_m128i(columns(7), columns(3));
  __m128i fu01, fu23, fu45, fu67;
  spreadPairs(_mm_and_si128(pxLow, _mm_set1_epi32(255)), &fu01, &fu23);
  spreadPairs(_mm_and_si128(pxHigh, _mm_set1_epi32(255)), &fu45, &fu67);
  const __m256i left0145 = _mm256_unpacklo_epi64(a, b), right0145 = _mm256_unpackhi_epi64(a, b);
  const __m256i left2367 = _mm256_unpacklo_epi64(c, d), right2367 = _mm256_unpackhi_epi64(c, d);
  *texels0145 = horizontal8(left0145, right0145, _mm256_set_m128i(fu45, fu01));
  *texels2367 = horizontal8(left2367, right2367, _mm256_set_m128i(fu67, fu23));
  if (kept != nullptr) {
    *kept = {left0145, right0145, left2367, right2367, _mm_and_si128(pxLow, _mm_set1_epi32(255)),
                _mm_and_si128(pxHigh, _mm_set1_epi32(255))};
  }
  return true;
}

// filterPair() for pixels a, b (low lane) and c, d (high lane): fu and fv spread as filterGroup does.
// The blended columns go to `left` and `right`.
__attribute__((target("avx2"))) inline __m256i filterPair8(const FixedSpan& span, __m128i upperA, __m128i upperB,
                                                           __m128i lowerA, __m128i lowerB, __m128i upperC,
                                                           __m128i upperD, __m128i lowerC, __m128i lowerD, __m256i fu,
                                                           __m256i fv, __m256i* left, __m256i* right) {
  const __m256i zero = _mm256_setzero_si256(), alphaOr = _mm256_broadcastsi128_si256(span.alphaOr);
  const __m256i upper =
      _mm256_or_si256(_mm256_set_m128i(_mm_unpacklo_epi32(upperC, upperD), _mm_unpacklo_epi32(upperA, upperB)), alphaOr);
  const __m256i upperLeft = _mm256_unpacklo_epi8(upper, zero), upperRight = _mm256_unpackhi_epi8(upper, zero);
  if (span.vertical) {
    const __m256i lower =
        _mm256_or_si256(_mm256_set_m128i(_mm_unpacklo_epi32(lowerC, lowerD), _mm_unpacklo_epi32(lowerA, lowerB)), alphaOr);
    const __m256i fvUpper = _mm256_sub_epi16(_mm256_set1_epi16(256), fv);
    *left = _mm256_add_epi16(_mm256_mullo_epi16(upperLeft, fvUpper), _mm256_mullo_epi16(_mm256_unpacklo_epi8(lower, zero), fv));
    *right = _mm256_add_epi16(_mm256_mullo_epi16(upperRight, fvUpper), _mm256_mullo_epi16(_mm256_unpackhi_epi8(lower, zero), fv));
  } else {
    *left = _mm256_slli_epi16(upperLeft, 8);
    *right = _mm256_slli_epi16(upperRight, 8);
  }
  return horizontal8(*left, *right, fu);
}

// filterGroup() for eight pixels, in rowTexels8's lanes; the columns too where `kept` is not null.
__attribute__((target("avx2"))) inline void filterTexels8(const FixedSpan& span, __m128 uLow, __m128 uHigh, __m128 vLow,
                                                          __m128 vHigh, __m256i* texels0145, __m256i* texels2367,
                                                          Columns8* kept = nullptr) {
  GroupTexels low, high;
  fetchGroup(span, uLow, vLow, &low);
  fetchGroup(span, uHigh, vHigh, &high);
  __m128i fu01, fu23, fu45, fu67, fv01, fv23, fv45, fv67;
  spreadPairs(low.fu, &fu01, &fu23);
  spreadPairs(high.fu, &fu45, &fu67);
  if (span.rowV) {
    fv01 = fv23 = fv45 = fv67 = _mm_set1_epi16(static_cast<short>(span.rowFv));
  } else {
    spreadPairs(low.fv, &fv01, &fv23);
    spreadPairs(high.fv, &fv45, &fv67);
  }
  Columns8 columns;
  *texels0145 = filterPair8(span, low.upper[0], low.upper[1], low.lower[0], low.lower[1], high.upper[0], high.upper[1],
                            high.lower[0], high.lower[1], _mm256_set_m128i(fu45, fu01), _mm256_set_m128i(fv45, fv01),
                            &columns.left0145, &columns.right0145);
  *texels2367 = filterPair8(span, low.upper[2], low.upper[3], low.lower[2], low.lower[3], high.upper[2], high.upper[3],
                            high.lower[2], high.lower[3], _mm256_set_m128i(fu67, fu23), _mm256_set_m128i(fv67, fv23),
                            &columns.left2367, &columns.right2367);
  if (kept != nullptr) {
    columns.fuLow = low.fu;
    columns.fuHigh = high.fu;
    *kept = columns;
  }
}

// exactAlpha() for the pixels 0..3 (half 0) or 4..7 (half 1) of eight.
template <int Half>
__attribute__((target("avx2"))) inline __m128 exactAlpha8(const FixedSpan& span, const Columns8& c) {
  FilteredGroup f;
  f.pair01.left = _mm256_extracti128_si256(c.left0145, Half);
  f.pair01.right = _mm256_extracti128_si256(c.right0145, Half);
  f.pair23.left = _mm256_extracti128_si256(c.left2367, Half);
  f.pair23.right = _mm256_extracti128_si256(c.right2367, Half);
  f.fu = Half == 0 ? c.fuLow : c.fuHigh;
  return exactAlpha(span, f);
}

// modulate() on 256-bit vectors.
__attribute__((target("avx2"))) inline __m256i modulate8(__m256i texels, __m256i multiplier, __m256i whole) {
  const __m256i scaled = _mm256_add_epi16(_mm256_mulhi_epu16(texels, multiplier), _mm256_and_si256(texels, whole));
  return _mm256_srli_epi16(_mm256_adds_epu16(scaled, _mm256_set1_epi16(128)), 8);
}

// blendPair() on 256-bit vectors.
__attribute__((target("avx2"))) inline __m256i blendPair8(__m256i src, __m256i dst) {
  const __m256i alpha = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(src, 0xFF), 0xFF);
  const __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(src, alpha),
                                       _mm256_mullo_epi16(dst, _mm256_sub_epi16(_mm256_set1_epi16(255), alpha)));
  const __m256i biased = _mm256_add_epi16(sum, _mm256_set1_epi16(128));  // divide255()
  return _mm256_srli_epi16(_mm256_add_epi16(biased, _mm256_srli_epi16(biased, 8)), 8);
}

// blendGroup() for eight pixels (source: pixels 0..3 | 4..7; out0145 and out2367 the same as 16-bit
// lanes, stored the words in the target).
template <BlendMode Blend>
__attribute__((target("avx2"))) inline __m256i blendGroup8(__m256i source, __m256i out0145, __m256i out2367,
                                                            __m256i stored, __m256i alphaOr) {
  __m256i words = source;
  if constexpr (Blend == BlendMode::kAdditive) {
    words = _mm256_adds_epu8(source, _mm256_or_si256(stored, alphaOr));
  } else if constexpr (Blend == BlendMode::kSourceAlpha) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i dst = _mm256_or_si256(stored, alphaOr);
    words = _mm256_packus_epi16(blendPair8(out0145, _mm256_unpacklo_epi8(dst, zero)),
                                blendPair8(out2367, _mm256_unpackhi_epi8(dst, zero)));
  }
  return _mm256_or_si256(words, alphaOr);
}

// Eight pixels' 8-bit channels (out0145, out2367 as 16-bit lanes) blended as Blend says and written to
// colorOut where `visible` (bits 0..7) says.
template <BlendMode Blend>
inline __attribute__((always_inline, target("avx2"))) void storeEight(__m256i out0145, __m256i out2367, unsigned visible,
                                                                       __m128i alphaOr, BYTE* colorOut) {
  const __m256i source = _mm256_packus_epi16(out0145, out2367);
  __m256i stored = _mm256_setzero_si256();
  if (Blend != BlendMode::kOpaque || visible != 0xFFu) stored = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(colorOut));
  __m256i words = blendGroup8<Blend>(source, out0145, out2367, stored, _mm256_broadcastsi128_si256(alphaOr));
  if (visible != 0xFFu) words = _mm256_blendv_epi8(stored, words, _mm256_set_m128i(laneMask(visible >> 4), laneMask(visible & 15u)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(colorOut), words);
}

}  // namespace fixed
}  // namespace d3d8compat
