#include "compat/d3d8/caps.h"

#include "compat/d3d8/d3d8_host.h"
#include "compat/d3d8/limits.h"
#include "compat/d3d8/stage_cascade.h"

namespace d3d8compat {

D3DCAPS8 softwareDeviceCaps(bool alphaGreaterEqual) {
  constexpr DWORD kAllCompares = D3DPCMPCAPS_NEVER | D3DPCMPCAPS_LESS | D3DPCMPCAPS_EQUAL |
                                 D3DPCMPCAPS_LESSEQUAL | D3DPCMPCAPS_GREATER | D3DPCMPCAPS_NOTEQUAL |
                                 D3DPCMPCAPS_GREATEREQUAL | D3DPCMPCAPS_ALWAYS;
  constexpr DWORD kBlendFactors = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR |
                                  D3DPBLENDCAPS_INVSRCCOLOR | D3DPBLENDCAPS_SRCALPHA |
                                  D3DPBLENDCAPS_INVSRCALPHA | D3DPBLENDCAPS_DESTALPHA |
                                  D3DPBLENDCAPS_INVDESTALPHA | D3DPBLENDCAPS_DESTCOLOR |
                                  D3DPBLENDCAPS_INVDESTCOLOR | D3DPBLENDCAPS_SRCALPHASAT;

  D3DCAPS8 caps{};
  caps.DeviceType = D3DDEVTYPE_HAL;
  caps.AdapterOrdinal = 0;
  caps.Caps2 = D3DCAPS2_FULLSCREENGAMMA | D3DCAPS2_CANRENDERWINDOWED | D3DCAPS2_DYNAMICTEXTURES;
  caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
  caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                 D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_EXECUTESYSTEMMEMORY |
                 D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_TEXTURESYSTEMMEMORY;
  // No D3DPMISCCAPS_CLIPTLVERTS: pre-transformed vertices are not clipped in depth.
  caps.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW |
                           D3DPMISCCAPS_CULLCCW;
  caps.RasterCaps = D3DPRASTERCAPS_ZTEST;
  caps.ZCmpCaps = kAllCompares;
  caps.SrcBlendCaps = kBlendFactors | D3DPBLENDCAPS_BOTHSRCALPHA | D3DPBLENDCAPS_BOTHINVSRCALPHA;
  caps.DestBlendCaps = kBlendFactors;
  caps.AlphaCmpCaps = alphaGreaterEqual ? kAllCompares : (kAllCompares & ~D3DPCMPCAPS_GREATEREQUAL);
  caps.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB |
                   D3DPSHADECAPS_ALPHAGOURAUDBLEND;
  caps.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
  caps.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT |
                           D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
  caps.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_INDEPENDENTUV;
  caps.MaxTextureWidth = kMaxTextureSize;
  caps.MaxTextureHeight = kMaxTextureSize;
  caps.MaxTextureRepeat = 8192;
  caps.MaxTextureAspectRatio = kMaxTextureSize;
  caps.MaxAnisotropy = 1;
  caps.MaxVertexW = 1.0e10f;
  // x/y are scissored to the viewport rather than clipped: a large guard band.
  caps.GuardBandLeft = -8192.0f;
  caps.GuardBandTop = -8192.0f;
  caps.GuardBandRight = 8192.0f;
  caps.GuardBandBottom = 8192.0f;
  caps.FVFCaps = kStageCount | D3DFVFCAPS_PSIZE;
  caps.TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
                       D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_MODULATE2X | D3DTEXOPCAPS_MODULATE4X |
                       D3DTEXOPCAPS_ADD | D3DTEXOPCAPS_ADDSIGNED | D3DTEXOPCAPS_ADDSIGNED2X | D3DTEXOPCAPS_SUBTRACT |
                       D3DTEXOPCAPS_ADDSMOOTH | D3DTEXOPCAPS_BLENDDIFFUSEALPHA | D3DTEXOPCAPS_BLENDTEXTUREALPHA |
                       D3DTEXOPCAPS_BLENDFACTORALPHA | D3DTEXOPCAPS_BLENDCURRENTALPHA;
  // The cascade evaluates two stages (as two-texture hardware of the time did); stage states and
  // coordinate sets 0..7 are still stored and readable.
  caps.MaxTextureBlendStages = kCascadeStages;
  caps.MaxSimultaneousTextures = kCascadeStages;
  caps.VertexProcessingCaps = D3DVTXPCAPS_DIRECTIONALLIGHTS | D3DVTXPCAPS_MATERIALSOURCE7 |
                              D3DVTXPCAPS_LOCALVIEWER;
  caps.MaxActiveLights = kMaxLights;
  caps.MaxUserClipPlanes = 0;
  caps.MaxVertexBlendMatrices = 1;  // one world matrix: no vertex blending
  caps.MaxVertexBlendMatrixIndex = 0;
  caps.MaxPointSize = adapterProfile().maxPointSize;
  caps.MaxPrimitiveCount = kMaxPrimitiveCount;
  caps.MaxVertexIndex = 0x00FFFFFF;
  caps.MaxStreams = 1;
  caps.MaxStreamStride = kMaxStreamStride;
  caps.VertexShaderVersion = 0;  // fixed function only
  caps.PixelShaderVersion = 0;
  return caps;
}

}  // namespace d3d8compat
