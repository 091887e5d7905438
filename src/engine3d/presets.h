// The fixed bundles of render and texture-stage states the scenes switch between, the timed fade ramp
// behind flashes and fades, the full-screen coloured overlay, and the gamma-ramp effect that posterises
// red and blue and fills green with noise. Presets set exactly their states, nothing else (in particular
// no blend preset touches D3DRS_ALPHABLENDENABLE).
#pragma once

#include <cstdint>

#include "compat/d3d8/d3d8_types.h"
#include "engine3d/matrix4.h"

void setDefaultTextureStages();
void setSingleTextureStage();
void disableStage1();
void setAdditiveBlend();
void setAlphaBlend();
void begin2D();  // lighting, depth and culling off
void end2D();    // lighting and depth on, counter-clockwise culling
void setWorldMatrix(const Matrix4& m);

// A linear ramp from 1 at `start` to 0 after `duration` seconds on the presentation time g_time.
struct Fade {
  float duration = 0;
  float start = 0;
  int32_t active = 0;

  float level() const;  // 0 while inactive; otherwise the ramp clamped to 0..1
  void begin();         // starts now
};

// The rectangle (x0, y0)-(x1, y1), in fractions of the render size, in rgb with alpha clamped to 0..1.
void drawFadeOverlay(float x0, float y0, float x1, float y1, uint32_t rgb, float alpha);

// Builds the effect's ramp for strength x in 0..1 (reads synth_coin, draws from the thread's rand) and
// sets it on the device.
void setGammaEffect(double x);
// The ramp setGammaEffect sets, without setting it.
void buildGammaRamp(double x, D3DGAMMARAMP& ramp);
