#include "compat/d3d8/stage_cascade.h"

namespace d3d8compat {
namespace {

struct OpCoefficients {
  float k0, k1, k2, k3;
};

// The op as sat(k0 + k1 * arg1 + k2 * arg2 + k3 * arg1 * arg2). factorAlpha: TEXTUREFACTOR alpha. The
// per-pixel alpha blends start from arg2 here; blendSource adds A * (arg1 - arg2). Ops outside this form
// read as SELECTARG1.
OpCoefficients coefficients(DWORD op, float factorAlpha) {
  switch (op) {
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDCURRENTALPHA: return {0, 0, 1, 0};
    case D3DTOP_SELECTARG2: return {0, 0, 1, 0};
    case D3DTOP_MODULATE: return {0, 0, 0, 1};
    case D3DTOP_MODULATE2X: return {0, 0, 0, 2};
    case D3DTOP_MODULATE4X: return {0, 0, 0, 4};
    case D3DTOP_ADD: return {0, 1, 1, 0};
    case D3DTOP_ADDSIGNED: return {-0.5f, 1, 1, 0};
    case D3DTOP_ADDSIGNED2X: return {-1.0f, 2, 2, 0};
    case D3DTOP_SUBTRACT: return {0, 1, -1, 0};
    case D3DTOP_ADDSMOOTH: return {0, 1, 1, -1};  // arg1 + arg2 - arg1 * arg2
    case D3DTOP_BLENDFACTORALPHA: return {0, factorAlpha, 1.0f - factorAlpha, 0};
    default: return {0, 1, 0, 0};
  }
}

// Whose alpha a per-pixel blend op weighs arg1 by; -1 for the other ops. A missing texture reads as
// diffuse, as its arguments do.
int blendSource(DWORD op, bool haveTexture) {
  switch (op) {
    case D3DTOP_BLENDDIFFUSEALPHA: return kSourceDiffuse;
    case D3DTOP_BLENDTEXTUREALPHA: return haveTexture ? kSourceTexture : kSourceDiffuse;
    case D3DTOP_BLENDCURRENTALPHA: return kSourceCurrent;
    default: return -1;
  }
}

// The lean form of an op pair: what is left of k0 + k1 a1 + k2 a2 + k3 a1 a2 when the terms that are 0
// in both the colour and the alpha lanes go.
LeanForm leanForm(const OpCoefficients& c, const OpCoefficients& a) {
  const bool noK0 = c.k0 == 0.0f && a.k0 == 0.0f, noK3 = c.k3 == 0.0f && a.k3 == 0.0f;
  const bool noK1 = c.k1 == 0.0f && a.k1 == 0.0f, noK2 = c.k2 == 0.0f && a.k2 == 0.0f;
  if (noK0 && noK3) {
    if (noK2 && c.k1 == 1.0f && a.k1 == 1.0f) return LeanForm::kSelect1;
    if (noK1 && c.k2 == 1.0f && a.k2 == 1.0f) return LeanForm::kSelect2;
    return LeanForm::kLinear;
  }
  if (noK0 && noK1 && noK2 && c.k3 == 1.0f && a.k3 == 1.0f) return LeanForm::kModulate;
  return LeanForm::kGeneric;
}

bool usesArg1(DWORD op) { return op != D3DTOP_SELECTARG2; }
bool usesArg2(DWORD op) { return op != D3DTOP_SELECTARG1; }

bool readsTexture(DWORD arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; }

int sourceOf(DWORD arg, bool haveTexture) {
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: return kSourceDiffuse;
    case D3DTA_CURRENT: return kSourceCurrent;
    case D3DTA_TEXTURE: return haveTexture ? kSourceTexture : kSourceDiffuse;
    case D3DTA_TFACTOR: return kSourceFactor;
    case D3DTA_SPECULAR: return kSourceSpecular;
    default: return kSourceZero;  // TEMP is not carried (TSSARGTEMP is not reported)
  }
}

}  // namespace

void compileCascade(const DeviceState& state, Cascade* cascade, CascadeBlend* blends) {
  const float factorAlpha = static_cast<float>(state.renderStates[D3DRS_TEXTUREFACTOR] >> 24) / 255.0f;
  cascade->count = 0;
  cascade->singleTextureStage = false;
  cascade->modulateOnly = false;
  cascade->general = false;
  cascade->readsSpecular = false;
  for (int s = 0; s < kCascadeStages; ++s) {
    cascade->samples[s] = false;
    const DWORD* ss = state.stageStates[s];
    const DWORD colorOp = ss[D3DTSS_COLOROP];
    if (colorOp == D3DTOP_DISABLE) break;
    const bool haveTexture = state.textures[s] != nullptr;
    const DWORD colorArgs[2] = {ss[D3DTSS_COLORARG1], ss[D3DTSS_COLORARG2]};
    const bool colorUses[2] = {usesArg1(colorOp), usesArg2(colorOp)};
    if (!haveTexture && ((colorUses[0] && readsTexture(colorArgs[0])) || (colorUses[1] && readsTexture(colorArgs[1])))) {
      break;  // this stage and every later one are not processed
    }

    DWORD alphaOp = ss[D3DTSS_ALPHAOP];
    DWORD alphaArgs[2] = {ss[D3DTSS_ALPHAARG1], ss[D3DTSS_ALPHAARG2]};
    if (alphaOp == D3DTOP_DISABLE) {  // alpha passes through from the previous stage
      alphaOp = D3DTOP_SELECTARG1;
      alphaArgs[0] = D3DTA_CURRENT;
    }
    const bool alphaUses[2] = {usesArg1(alphaOp), usesArg2(alphaOp)};
    const int colorBlend = blendSource(colorOp, haveTexture), alphaBlend = blendSource(alphaOp, haveTexture);
    cascade->samples[s] = haveTexture && ((colorUses[0] && readsTexture(colorArgs[0])) ||
                                          (colorUses[1] && readsTexture(colorArgs[1])) ||
                                          (alphaUses[0] && readsTexture(alphaArgs[0])) ||
                                          (alphaUses[1] && readsTexture(alphaArgs[1])) ||
                                          colorBlend == kSourceTexture || alphaBlend == kSourceTexture);

    CascadeStage& stage = cascade->stages[s];
    const OpCoefficients c = coefficients(colorOp, factorAlpha), a = coefficients(alphaOp, factorAlpha);
    stage.k0 = _mm_set_ps(a.k0, c.k0, c.k0, c.k0);
    stage.k1 = _mm_set_ps(a.k1, c.k1, c.k1, c.k1);
    stage.k2 = _mm_set_ps(a.k2, c.k2, c.k2, c.k2);
    stage.k3 = _mm_set_ps(a.k3, c.k3, c.k3, c.k3);
    cascade->lean[s].form = leanForm(c, a);
    for (int i = 0; i < 2; ++i) {
      const bool colorComplement = (colorArgs[i] & D3DTA_COMPLEMENT) != 0;
      const bool alphaComplement = (alphaArgs[i] & D3DTA_COMPLEMENT) != 0;
      const float ca = colorComplement ? 1.0f : 0.0f, cm = colorComplement ? -1.0f : 1.0f;
      const float aa = alphaComplement ? 1.0f : 0.0f, am = alphaComplement ? -1.0f : 1.0f;
      stage.add[i] = _mm_set_ps(aa, ca, ca, ca);
      stage.mul[i] = _mm_set_ps(am, cm, cm, cm);
      const int replicate = (colorArgs[i] & D3DTA_ALPHAREPLICATE) != 0 ? -1 : 0;
      stage.replicate[i] = _mm_castsi128_ps(_mm_set_epi32(0, replicate, replicate, replicate));
      stage.colorSource[i] = sourceOf(colorArgs[i], haveTexture);
      stage.alphaSource[i] = sourceOf(alphaArgs[i], haveTexture);
      const bool modified = colorComplement || alphaComplement || replicate != 0;
      cascade->lean[s].argument[i] = modified                                          ? LeanArgument::kGeneric
                                     : stage.colorSource[i] == stage.alphaSource[i] ? LeanArgument::kPlain
                                                                                      : LeanArgument::kMerged;
      cascade->readsSpecular = cascade->readsSpecular || (colorUses[i] && stage.colorSource[i] == kSourceSpecular) ||
                               (alphaUses[i] && stage.alphaSource[i] == kSourceSpecular);
    }
    CascadeBlend& blend = blends[s];
    blend.active = colorBlend >= 0 || alphaBlend >= 0;
    blend.colorSource = colorBlend >= 0 ? colorBlend : kSourceZero;
    blend.alphaSource = alphaBlend >= 0 ? alphaBlend : kSourceZero;
    const float colorWeight = colorBlend >= 0 ? 1.0f : 0.0f;
    blend.k = _mm_set_ps(alphaBlend >= 0 ? 1.0f : 0.0f, colorWeight, colorWeight, colorWeight);
    cascade->general = cascade->general || blend.active;
    cascade->count = s + 1;
  }
  cascade->general = cascade->general || cascade->readsSpecular;
  cascade->textureBlend = false;
  if (cascade->general) return;  // the general routines run the whole cascade
  if (cascade->count == 2 && cascade->samples[0] && cascade->samples[1]) {
    const CascadeStage &first = cascade->stages[0], &second = cascade->stages[1];
    const LeanStage &lean0 = cascade->lean[0], &lean1 = cascade->lean[1];
    cascade->textureBlend = lean0.form == LeanForm::kSelect1 && lean0.argument[0] == LeanArgument::kMerged &&
                            first.colorSource[0] == kSourceTexture && first.alphaSource[0] == kSourceDiffuse &&
                            lean1.form == LeanForm::kLinear && lean1.argument[0] == LeanArgument::kMerged &&
                            second.colorSource[0] == kSourceTexture && second.alphaSource[0] == kSourceCurrent &&
                            lean1.argument[1] == LeanArgument::kPlain && second.colorSource[1] == kSourceCurrent;
  }
  if (cascade->count == 1 && cascade->samples[0]) {
    const DWORD* ss = state.stageStates[0];
    // In stage 0 CURRENT is DIFFUSE; argument 1 must be TEXTURE and argument 2 DIFFUSE, unmodified.
    auto plain = [](DWORD arg, DWORD want) {
      const DWORD base = (arg & D3DTA_SELECTMASK) == D3DTA_CURRENT ? DWORD{D3DTA_DIFFUSE} : arg;
      return base == want;
    };
    cascade->singleTextureStage = ss[D3DTSS_ALPHAOP] != D3DTOP_DISABLE && plain(ss[D3DTSS_COLORARG1], D3DTA_TEXTURE) && plain(ss[D3DTSS_COLORARG2], D3DTA_DIFFUSE) &&
                                  plain(ss[D3DTSS_ALPHAARG1], D3DTA_TEXTURE) && plain(ss[D3DTSS_ALPHAARG2], D3DTA_DIFFUSE);
    cascade->modulateOnly = cascade->singleTextureStage && ss[D3DTSS_COLOROP] == D3DTOP_MODULATE &&
                            ss[D3DTSS_ALPHAOP] == D3DTOP_MODULATE;
  }
}

}  // namespace d3d8compat
