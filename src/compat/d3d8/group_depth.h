// The depth test and depth write of four-pixel groups along one span, shared by the float and the
// fixed-point group routines. Included by the routine files only.
#pragma once

#include "compat/d3d8/pixel_group.h"
#include "compat/d3d8/pixel_routine.h"
#include "compat/d3d8/stage_sampling.h"

namespace d3d8compat {
namespace routines {

// One span's depth: the row's depth words, the format's shift and stencil byte, and the depth at each
// group from its plane (quantized once where it does not change along the row: sprites, screen-facing
// quads). With Depth kOff every pixel passes and nothing is read or written.
template <DepthMode Depth>
class GroupDepth {
 public:
  GroupDepth(const PixelState& ps, const TriangleSetup& s, int y, int xBegin, float fy)
      : plane_(rowPlane(s.z, s.zDx, s.zDy, fy)) {
    if constexpr (Depth != DepthMode::kOff) {
      out_ = ps.depth + static_cast<size_t>(y) * ps.depthPitch + static_cast<size_t>(xBegin) * ps.depthBytes;
      bytes_ = ps.depthBytes;
      row_ = ps.depthPitch / ps.depthBytes;
      shift_ = _mm_cvtsi32_si128(ps.depthShift);
      stencilKeep_ = _mm_set1_epi32(ps.depthShift != 0 ? 0xFF : 0);
      max_ = ps.depthMax;
      table_ = ps.depthTable;
      flat_ = s.zDx == 0.0f;
      if (flat_) spanDepth_ = quantizeDepth4(plane_.row, max_);
    }
  }

  // The bits of `visible` whose pixels pass the depth test, for the group at x (fx: its lanes' x - x0,
  // count: its pixels inside the span). Keeps the stored and the new depth for write().
  inline __attribute__((always_inline)) unsigned test(int x, int count, __m128 fx, unsigned visible) {
    if constexpr (Depth == DepthMode::kOff) {
      return visible;
    } else {
      count_ = count;
      whole_ = x + 4 <= row_;  // a group past the span's end may still read and rewrite whole vectors in the row
      stored_ = loadGroup(out_, bytes_, count, whole_);
      values_ = flat_ ? spanDepth_ : quantizeDepth4(planeAt(plane_, fx), max_);
      return visible & comparisonPasses4(table_, values_, _mm_srl_epi32(stored_, shift_));
    }
  }

  // Writes the new depth of the group's `lanes` (all-ones lanes), keeping the stencil byte.
  inline __attribute__((always_inline)) void write(__m128i lanes) {
    if constexpr (Depth == DepthMode::kTestWrite) {
      const __m128i words = _mm_or_si128(_mm_sll_epi32(values_, shift_), _mm_and_si128(stored_, stencilKeep_));
      storeGroup(out_, bytes_, count_, whole_, selectLanes(lanes, words, stored_));
    }
  }

  // On to the next group.
  inline __attribute__((always_inline)) void step() {
    if constexpr (Depth != DepthMode::kOff) out_ += 4 * bytes_;
  }

 private:
  RowPlane plane_;
  BYTE* out_ = nullptr;
  int bytes_ = 0, row_ = 0, count_ = 0;
  bool flat_ = false, whole_ = false;
  __m128i shift_ = _mm_setzero_si128(), stencilKeep_ = _mm_setzero_si128();
  __m128i spanDepth_ = _mm_setzero_si128(), stored_ = _mm_setzero_si128(), values_ = _mm_setzero_si128();
  double max_ = 0.0;
  unsigned table_ = 0;
};

}  // namespace routines
}  // namespace d3d8compat
