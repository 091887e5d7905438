// The Direct3D 8 device of the presentation: creation on the main window with five ever more modest
// attempts, the device-wide defaults every scene relies on, and the thin frame, render-state, light and
// material helpers the other subsystems draw through. Lost devices are not handled (never reset).
#pragma once

#include "compat/d3d8/d3d8.h"
#include "engine3d/vec3.h"

extern IDirect3D8* g_d3d;
extern IDirect3DDevice8* g_device;
extern int g_colorBits;
extern D3DFORMAT g_renderTargetFormat;
extern D3DCAPS8 g_caps;
extern D3DVIEWPORT8 g_viewport;
extern int g_viewportWidth;
extern int g_viewportHeight;
extern float g_viewportAspect;
extern bool g_renderingToTexture;

int initGraphics(const char* title, int width, int height, int windowed, int colorBits);
void shutdownGraphics();

void beginFrame(D3DCOLOR clearColor);
void endFrame();
// The flags beginFrame clears with: target and depth, plus stencil when the depth buffer has one.
DWORD frameClearFlags();

void setRenderState(D3DRENDERSTATETYPE state, DWORD value);
void setTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
void setDirectionalLight(DWORD index, Vec3 direction, D3DCOLOR color);
void setMaterialAmbient(D3DCOLOR ambientColor);

int currentTargetWidth();
int currentTargetHeight();

// Port addition for sharper captures and large screens: the picture is made at `scale` times the
// presentation's sizes (the back buffer scale x 640 x 480, render-target textures scale x 256 square,
// the font atlas at scale x the DPI). Set before initGraphics; 1, the default, is the original.
void setRenderScale(int scale);
int renderScale();
// Side of the square render-target textures: 256 x renderScale().
int renderTextureSize();

// Float-valued render states (point sizes and scales) take the float's bit pattern.
DWORD floatBits(float value);
