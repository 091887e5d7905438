// Flexible vertex format codes decoded into byte offsets: which fields a vertex has and where they sit,
// in the fixed FVF order (position, blend weights, normal, point size, diffuse, specular, texture
// coordinate sets). The vertex stage reads vertices through this; nothing here converts data.
#pragma once

#include "compat/d3d8/d3d8_types.h"
#include "compat/d3d8/limits.h"

namespace d3d8compat {

struct FvfLayout {
  DWORD fvf = 0;
  UINT size = 0;             // bytes of one vertex; a stream's stride may be larger
  bool transformed = false;  // XYZRHW: x, y in render-target pixels, z, then rhw at offset 12
  UINT blendWeights = 0;     // XYZB1..5: floats after x, y, z (not used by the pipeline)
  int normal = -1;           // byte offsets of the optional fields, -1 when absent
  int pointSize = -1;
  int diffuse = -1;
  int specular = -1;
  UINT texCoordSets = 0;
  UINT texCoordOffset[kStageCount] = {};
  UINT texCoordDimension[kStageCount] = {};  // floats per set: 1..4 (2 unless D3DFVF_TEXCOORDSIZEn)
};

// False for a code that is no valid FVF (a shader handle, no position, RHW with a normal, unknown bits).
bool decodeFvf(DWORD fvf, FvfLayout* layout);

}  // namespace d3d8compat
