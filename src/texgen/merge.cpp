// The merge step of every instruction: the work image combined with the destination layer by the
// blend mode, then written through the channel mask. '*' widens both bytes to 12 bits and keeps the
// high 16 bits of their product, which in 16-bit lanes is exactly the unsigned high product.
#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "texgen/fixed_point.h"
#include "texgen/generator.h"

namespace {

uint32_t blend(uint8_t mode, uint32_t l, uint32_t w) {
  switch (mode) {
    case '=':
      return w;
    case '+':
      return perByte([&](int k) { return saturateByte(channelOf(l, k) + channelOf(w, k)); });
    case '-':
      return perByte([&](int k) { return saturateByte(channelOf(l, k) - channelOf(w, k)); });
    case '^':
      return l ^ w;
    case '*':
      return perByte([&](int k) {
        const uint32_t product = static_cast<uint32_t>(x12(channelOf(w, k))) * static_cast<uint32_t>(x12(channelOf(l, k)));
        return static_cast<int32_t>(std::min<uint32_t>(255, product >> 16));
      });
    default:
      return l;
  }
}

#if defined(__SSE2__)
__m128i widen12(__m128i bytes) { return _mm_srli_epi16(_mm_or_si128(_mm_slli_epi16(bytes, 8), bytes), 4); }

__m128i multiplyBytes(__m128i l, __m128i w) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = _mm_mulhi_epu16(widen12(_mm_unpacklo_epi8(w, zero)), widen12(_mm_unpacklo_epi8(l, zero)));
  const __m128i high = _mm_mulhi_epu16(widen12(_mm_unpackhi_epi8(w, zero)), widen12(_mm_unpackhi_epi8(l, zero)));
  return _mm_packus_epi16(low, high);
}

template <typename Combine>
void mergePacked(uint32_t* layer, const uint32_t* work, uint32_t mask, Combine combine) {
  const __m128i m = _mm_set1_epi32(static_cast<int>(mask));
  for (int i = 0; i < kLayerPixels; i += 4) {
    __m128i* target = reinterpret_cast<__m128i*>(layer + i);
    const __m128i l = _mm_loadu_si128(target);
    const __m128i r = combine(l, _mm_loadu_si128(reinterpret_cast<const __m128i*>(work + i)));
    _mm_storeu_si128(target, _mm_or_si128(_mm_and_si128(r, m), _mm_andnot_si128(m, l)));
  }
}
#endif

}  // namespace

void mergeWorkImageScalar(uint32_t* layer, const uint32_t* work, uint8_t blendMode, uint32_t mask) {
  for (int i = 0; i < kLayerPixels; ++i) {
    const uint32_t l = layer[i];
    const uint32_t r = blend(blendMode, l, work[i]);
    layer[i] = (r & mask) | (l & ~mask);
  }
}

#if defined(__SSE2__)
void mergeWorkImage(uint32_t* layer, const uint32_t* work, uint8_t blendMode, uint32_t mask) {
  switch (blendMode) {
    case '=':
      mergePacked(layer, work, mask, [](__m128i, __m128i w) { return w; });
      break;
    case '+':
      mergePacked(layer, work, mask, [](__m128i l, __m128i w) { return _mm_adds_epu8(l, w); });
      break;
    case '-':
      mergePacked(layer, work, mask, [](__m128i l, __m128i w) { return _mm_subs_epu8(l, w); });
      break;
    case '^':
      mergePacked(layer, work, mask, [](__m128i l, __m128i w) { return _mm_xor_si128(l, w); });
      break;
    case '*':
      mergePacked(layer, work, mask, multiplyBytes);
      break;
    default:
      break;  // any other mode leaves the layer as it is
  }
}
#else
void mergeWorkImage(uint32_t* layer, const uint32_t* work, uint8_t blendMode, uint32_t mask) {
  mergeWorkImageScalar(layer, work, blendMode, mask);
}
#endif
