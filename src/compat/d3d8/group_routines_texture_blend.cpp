// The four-pixel-group routines of `textureBlend` cascades (two 32-bit textures, no depth).
#include "compat/d3d8/group_routines.h"

namespace d3d8compat {
namespace routines {

SpanFunction textureBlendRoutine(BlendMode blend) {
  static constexpr SpanFunction kRoutines[3] = {
      shadeGroups<kTexture32, kTexture32, DepthMode::kOff, BlendMode::kOpaque, true>,
      shadeGroups<kTexture32, kTexture32, DepthMode::kOff, BlendMode::kSourceAlpha, true>,
      shadeGroups<kTexture32, kTexture32, DepthMode::kOff, BlendMode::kAdditive, true>};
  return blend == BlendMode::kGeneral ? nullptr : kRoutines[static_cast<int>(blend)];
}

}  // namespace routines
}  // namespace d3d8compat
