#include "compat/d3d8/fvf.h"

namespace d3d8compat {

bool decodeFvf(DWORD fvf, FvfLayout* layout) {
  constexpr DWORD kKnownBits = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                               D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK | D3DFVF_LASTBETA_UBYTE4 | 0xFFFF0000u;
  if ((fvf & ~kKnownBits) != 0) return false;  // includes D3DFVF_RESERVED0 (shader handles) and RESERVED2
  const DWORD position = fvf & D3DFVF_POSITION_MASK;
  if (position == 0) return false;
  if (position == D3DFVF_XYZRHW && (fvf & D3DFVF_NORMAL) != 0) return false;
  const UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (sets > kStageCount) return false;
  if ((fvf & D3DFVF_LASTBETA_UBYTE4) != 0 && position < D3DFVF_XYZB1) return false;

  FvfLayout out;
  out.fvf = fvf;
  UINT offset = 12;
  if (position == D3DFVF_XYZRHW) {
    out.transformed = true;
    offset = 16;
  } else if (position != D3DFVF_XYZ) {
    // XYZB1 = 0x6, XYZB2 = 0x8, ... XYZB5 = 0xE: (position - 4) / 2 weights.
    out.blendWeights = (position - 4) / 2;
    offset += 4 * out.blendWeights;
  }
  auto take = [&offset](bool present, UINT bytes) {
    if (!present) return -1;
    const int at = static_cast<int>(offset);
    offset += bytes;
    return at;
  };
  out.normal = take((fvf & D3DFVF_NORMAL) != 0, 12);
  out.pointSize = take((fvf & D3DFVF_PSIZE) != 0, 4);
  out.diffuse = take((fvf & D3DFVF_DIFFUSE) != 0, 4);
  out.specular = take((fvf & D3DFVF_SPECULAR) != 0, 4);
  out.texCoordSets = sets;
  for (UINT s = 0; s < sets; ++s) {
    static constexpr UINT kDimension[4] = {2, 3, 4, 1};  // D3DFVF_TEXTUREFORMAT2, 3, 4, 1
    const UINT dimension = kDimension[(fvf >> (16 + 2 * s)) & 3];
    out.texCoordOffset[s] = offset;
    out.texCoordDimension[s] = dimension;
    offset += 4 * dimension;
  }
  out.size = offset;
  *layout = out;
  return true;
}

}  // namespace d3d8compat
