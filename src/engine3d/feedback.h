// The render-to-texture feedback blur: a scene draws into a 256 x 256 target texture (times the render
// scale), then each pass draws that texture into the other target through a zoomed, twisted copy of
// itself (zoom and twist halving every pass), and the result is added over the screen. Two targets and
// the saved back-buffer and depth surfaces live from createRenderTargets to releaseRenderTargets. Do
// not present in between beginFeedbackFrame and the end of applyFeedbackBlur.
#pragma once

#include <cstdint>

#include "compat/d3d8/d3d8.h"

// D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2.
constexpr DWORD SCREEN_FVF = 0x244;

struct ScreenVertex {
  float x, y, z;  // screen pixels, z = 0
  float rhw;      // always 1
  uint32_t color;
  float u0, v0;   // stage 0: the plain copy
  float u1, v1;   // stage 1: the zoomed, twisted copy
};
static_assert(sizeof(ScreenVertex) == 36);

// Both targets in g_renderTargetFormat, then the current back buffer and depth surface are saved.
void createRenderTargets();
// Releases the targets and the saved surfaces (before the device is released).
void releaseRenderTargets();
void renderToTarget(int k);  // target k with the saved depth surface; currentTargetWidth reports its side
void restoreRenderTarget();  // the saved back buffer again
// Target 0 bound and cleared (black, depth 1, stencil 0).
void beginFeedbackFrame();
// One quad over the target (targetSized: the target textures' size; else the current target's size); the second
// coordinate set is the window pulled in by the four zoom terms, turned by angle about (cx, cy).
void drawFeedbackQuad(uint32_t color, bool targetSized, float zl, float zr, float zt, float zb, float angle,
                      float cx, float cy);
// Runs the passes, adds the result over the back buffer and returns the target that holds the last pass.
// Leaves lighting off, culling off and additive blend factors behind.
IDirect3DTexture8* applyFeedbackBlur(int passes, int addPasses, float zoom, float cx, float cy, float angle);
// Turns (uv[0], uv[1]) by angle about (cx, cy), in place.
void rotateAround(float uv[2], float angle, float cx, float cy);

// Target k's texture (null before createRenderTargets).
IDirect3DTexture8* feedbackTarget(int k);
