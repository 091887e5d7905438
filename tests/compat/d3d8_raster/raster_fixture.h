// Shared helpers for the pipeline tests: a 640 x 480 device (A8R8G8B8 back buffer, D24S8 depth),
// vertex records of the presentation's formats, textures filled from words, and pixel reads of the
// current render target. Every expected value in the tests is worked out by hand beside the test.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "../d3d8/d3d8_fixture.h"
#include "compat/d3d8/formats.h"

struct TlVertex {  // FVF 0x144: XYZRHW | DIFFUSE | TEX1
  float x, y, z, rhw;
  DWORD color;
  float u, v;
};
struct Tl2Vertex {  // FVF 0x244: XYZRHW | DIFFUSE | TEX2
  float x, y, z, rhw;
  DWORD color;
  float u0, v0, u1, v1;
};
struct ColorVertex {  // FVF 0x042: XYZ | DIFFUSE
  float x, y, z;
  DWORD color;
};
struct LitVertex {  // FVF 0x152: XYZ | NORMAL | DIFFUSE | TEX1
  float x, y, z, nx, ny, nz;
  DWORD color;
  float u, v;
};

inline D3DMATRIX identityMatrix() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

// Channel c (0 blue, 1 green, 2 red, 3 alpha) of a colour word.
inline int channel(D3DCOLOR color, int c) { return static_cast<int>((color >> (8 * c)) & 0xFF); }

class RasterTest : public D3D8Test {
 protected:
  void SetUp() override {
    D3D8Test::SetUp();
    createDevice();
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    clear(0xFF000000);
  }
  void TearDown() override {
    if (backBuffer_ != nullptr) drawToBackBuffer();
    for (IDirect3DTexture8* texture : textures_) texture->Release();
    D3D8Test::TearDown();
  }

  void clear(D3DCOLOR color, float z = 1.0f) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, z, 0);
  }

  // The current render target's pixel as 0xAARRGGBB.
  D3DCOLOR pixel(UINT x, UINT y) const {
    const d3d8compat::Surface& target = *state().renderTarget;
    return d3d8compat::unpackColor(target.format(), pixelAt(target, x, y));
  }
  int countPixels(D3DCOLOR color) const {
    const d3d8compat::Surface& target = *state().renderTarget;
    int count = 0;
    for (UINT y = 0; y < target.height(); ++y) {
      for (UINT x = 0; x < target.width(); ++x) count += pixel(x, y) == color ? 1 : 0;
    }
    return count;
  }

  // A pre-transformed quad (x0, y0)-(x1, y1), clockwise, one colour, texture coordinates 0..1 across.
  void drawQuad(float x0, float y0, float x1, float y1, DWORD color, float z = 0.5f, float u0 = 0.0f,
                float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f) {
    const TlVertex quad[4] = {{x0, y0, z, 1.0f, color, u0, v0},
                              {x1, y0, z, 1.0f, color, u1, v0},
                              {x1, y1, z, 1.0f, color, u1, v1},
                              {x0, y1, z, 1.0f, color, u0, v1}};
    device_->SetVertexShader(0x144);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(TlVertex)), D3D_OK);
  }

  // A managed texture whose level k is filled from levels[k] (row-major 0xAARRGGBB words, packed to format).
  IDirect3DTexture8* makeTexture(UINT width, UINT height, D3DFORMAT format,
                                 const std::vector<std::vector<D3DCOLOR>>& levels) {
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(width, height, static_cast<UINT>(levels.size()), 0, format, D3DPOOL_MANAGED,
                                     &texture), D3D_OK);
    if (texture == nullptr) return nullptr;
    textures_.push_back(texture);
    for (UINT k = 0; k < levels.size(); ++k) {
      D3DLOCKED_RECT locked;
      EXPECT_EQ(texture->LockRect(k, &locked, nullptr, 0), D3D_OK);
      const UINT w = std::max(1u, width >> k), h = std::max(1u, height >> k);
      const UINT bytes = d3d8compat::bytesPerPixel(format);
      for (UINT y = 0; y < h; ++y) {
        for (UINT x = 0; x < w; ++x) {
          const D3DCOLOR c = levels[k].size() == 1 ? levels[k][0] : levels[k][y * w + x];
          d3d8compat::storePixel(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch + x * bytes, bytes,
                                 d3d8compat::packColor(format, c));
        }
      }
      texture->UnlockRect(k);
    }
    return texture;
  }

  // A new render-target texture (released by TearDown) that draws go to, sharing the device's depth
  // buffer, until drawToBackBuffer(). Null (with a failed expectation) when it cannot be made current.
  IDirect3DTexture8* drawToNewTexture(UINT width, UINT height, D3DFORMAT format) {
    IDirect3DTexture8* target = nullptr;
    EXPECT_EQ(device_->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &target), D3D_OK);
    if (target == nullptr) return nullptr;
    textures_.push_back(target);
    IDirect3DSurface8* surface = nullptr;
    target->GetSurfaceLevel(0, &surface);
    device_->GetRenderTarget(&backBuffer_);
    device_->GetDepthStencilSurface(&depthBuffer_);
    const HRESULT hr = device_->SetRenderTarget(surface, depthBuffer_);
    surface->Release();
    EXPECT_EQ(hr, D3D_OK);
    return hr == D3D_OK ? target : nullptr;
  }
  void drawToBackBuffer() {
    EXPECT_EQ(device_->SetRenderTarget(backBuffer_, depthBuffer_), D3D_OK);
    backBuffer_->Release();
    depthBuffer_->Release();
    backBuffer_ = depthBuffer_ = nullptr;
  }

  // The current render target's pixels, row by row.
  std::vector<D3DCOLOR> targetPixels() const {
    const d3d8compat::Surface& target = *state().renderTarget;
    std::vector<D3DCOLOR> pixels;
    for (UINT y = 0; y < target.height(); ++y) {
      for (UINT x = 0; x < target.width(); ++x) pixels.push_back(pixel(x, y));
    }
    return pixels;
  }

  struct PictureComparison {
    int changed = 0;    // pixels the second picture changed from the background
    int differing = 0;  // pixels where the two pictures differ
    int worst = 0;      // largest difference of one channel
  };

  // Renders `draw` over `background` twice, after setMode(false) and after setMode(true) (left on), and
  // compares the two pictures.
  template <typename SetMode, typename Draw>
  PictureComparison renderBothWays(D3DCOLOR background, SetMode setMode, Draw draw) {
    std::vector<D3DCOLOR> pictures[2];
    for (int on = 0; on < 2; ++on) {
      setMode(on == 1);
      clear(background);
      draw();
      pictures[on] = targetPixels();
    }
    PictureComparison result;
    for (size_t i = 0; i < pictures[0].size(); ++i) {
      result.changed += pictures[1][i] != background ? 1 : 0;
      int difference = 0;
      for (int c = 0; c < 4; ++c) {
        difference = std::max(difference, std::abs(channel(pictures[0][i], c) - channel(pictures[1][i], c)));
      }
      result.worst = std::max(result.worst, difference);
      result.differing += difference != 0 ? 1 : 0;
    }
    return result;
  }

  void setFilters(DWORD stage, DWORD filter, DWORD mip = D3DTEXF_NONE) {
    device_->SetTextureStageState(stage, D3DTSS_MAGFILTER, filter);
    device_->SetTextureStageState(stage, D3DTSS_MINFILTER, filter);
    device_->SetTextureStageState(stage, D3DTSS_MIPFILTER, mip);
  }

  std::vector<IDirect3DTexture8*> textures_;
  IDirect3DSurface8* backBuffer_ = nullptr;   // held while drawing to a texture
  IDirect3DSurface8* depthBuffer_ = nullptr;
};

