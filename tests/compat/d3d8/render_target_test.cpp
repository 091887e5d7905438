// Render-target binding (viewport reset, reference counts, depth size) and Clear (viewport and
// rectangles, depth and stencil parts, refusals that clear nothing).
#include "d3d8_fixture.h"

namespace {

const d3d8compat::Surface& surfaceOf(IDirect3DSurface8* surface) {
  return *static_cast<d3d8compat::Surface*>(surface);
}

}  // namespace

TEST_F(D3D8Test, SetRenderTargetResetsTheViewportToTheNewTarget) {
  createDevice();
  IDirect3DTexture8* target = nullptr;
  ASSERT_EQ(device_->CreateTexture(256, 256, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &target),
            D3D_OK);
  IDirect3DSurface8* back = nullptr;
  IDirect3DSurface8* depth = nullptr;
  IDirect3DSurface8* level = nullptr;
  ASSERT_EQ(device_->GetRenderTarget(&back), D3D_OK);
  ASSERT_EQ(device_->GetDepthStencilSurface(&depth), D3D_OK);
  ASSERT_EQ(target->GetSurfaceLevel(0, &level), D3D_OK);

  const D3DVIEWPORT8 inner{8, 8, 100, 100, 0.0f, 1.0f};
  ASSERT_EQ(device_->SetViewport(&inner), D3D_OK);
  ASSERT_EQ(device_->SetRenderTarget(level, depth), D3D_OK);
  D3DVIEWPORT8 viewport{};
  device_->GetViewport(&viewport);
  EXPECT_EQ(viewport.X, 0u);
  EXPECT_EQ(viewport.Width, 256u);
  EXPECT_EQ(viewport.Height, 256u);
  EXPECT_EQ(state().renderTarget, level);
  const D3DVIEWPORT8 tooLarge{0, 0, 640, 480, 0.0f, 1.0f};
  EXPECT_EQ(device_->SetViewport(&tooLarge), D3DERR_INVALIDCALL);

  ASSERT_EQ(device_->SetRenderTarget(back, depth), D3D_OK);
  device_->GetViewport(&viewport);
  EXPECT_EQ(viewport.Width, 640u);
  EXPECT_EQ(viewport.Height, 480u);

  // A null depth surface means no depth buffer; a null target keeps the colour buffer.
  ASSERT_EQ(device_->SetRenderTarget(nullptr, nullptr), D3D_OK);
  EXPECT_EQ(state().renderTarget, back);
  EXPECT_EQ(state().depthStencil, nullptr);
  EXPECT_EQ(device_->SetRenderTarget(back, depth), D3D_OK);

  // Neither a plain texture level as target nor the colour buffer as depth buffer.
  IDirect3DTexture8* plain = nullptr;
  IDirect3DSurface8* plainLevel = nullptr;
  ASSERT_EQ(device_->CreateTexture(64, 64, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &plain), D3D_OK);
  plain->GetSurfaceLevel(0, &plainLevel);
  EXPECT_EQ(device_->SetRenderTarget(plainLevel, depth), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetRenderTarget(level, back), D3DERR_INVALIDCALL);
  plainLevel->Release();
  plain->Release();

  level->Release();
  target->Release();
  back->Release();
  depth->Release();
}

TEST_F(D3D8Test, DepthBufferSmallerThanTheTargetIsRefused) {
  createDevice();
  IDirect3DTexture8* large = nullptr;
  ASSERT_EQ(device_->CreateTexture(1024, 512, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &large),
            D3D_OK);
  IDirect3DSurface8* level = nullptr;
  IDirect3DSurface8* depth = nullptr;
  ASSERT_EQ(large->GetSurfaceLevel(0, &level), D3D_OK);
  ASSERT_EQ(device_->GetDepthStencilSurface(&depth), D3D_OK);
  EXPECT_EQ(device_->SetRenderTarget(level, depth), D3DERR_INVALIDCALL);  // 640 x 480 depth, 1024 x 512 target
  EXPECT_EQ(state().renderTarget->width(), 640u);
  EXPECT_EQ(device_->SetRenderTarget(level, nullptr), D3D_OK);  // without depth it is fine
  EXPECT_EQ(device_->SetRenderTarget(state().backBuffer, depth), D3D_OK);
  depth->Release();
  level->Release();
  large->Release();
}

TEST_F(D3D8Test, GetRenderTargetAndDepthSurfaceAddReferences) {
  createDevice();
  IDirect3DSurface8* back = nullptr;
  ASSERT_EQ(device_->GetRenderTarget(&back), D3D_OK);
  const ULONG held = refCount(back);
  IDirect3DSurface8* again = nullptr;
  ASSERT_EQ(device_->GetRenderTarget(&again), D3D_OK);
  EXPECT_EQ(again, back);
  EXPECT_EQ(refCount(back), held + 1);
  again->Release();
  EXPECT_EQ(refCount(back), held);

  IDirect3DSurface8* depth = nullptr;
  ASSERT_EQ(device_->GetDepthStencilSurface(&depth), D3D_OK);
  EXPECT_EQ(refCount(depth), 1u);  // the caller's; the device's own hold does not show
  EXPECT_EQ(depth->Release(), 0u);
  EXPECT_EQ(back->Release(), 0u);

  // The saved surfaces outlive a device released first.
  ASSERT_EQ(device_->GetRenderTarget(&back), D3D_OK);
  device_->Release();
  device_ = nullptr;
  EXPECT_EQ(surfaceOf(back).width(), 640u);
  EXPECT_EQ(back->Release(), 0u);
}

TEST_F(D3D8Test, ClearFillsOnlyTheViewportOrItsRectangles) {
  createDevice();
  const D3DVIEWPORT8 viewport{10, 20, 30, 40, 0.0f, 1.0f};
  ASSERT_EQ(device_->SetViewport(&viewport), D3D_OK);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0x80112233, 0.5f, 7),
            D3D_OK);
  const d3d8compat::Surface& back = *state().backBuffer;
  const d3d8compat::Surface& depth = *state().depthStencil;
  EXPECT_EQ(pixelAt(back, 10, 20), 0x80112233u);
  EXPECT_EQ(pixelAt(back, 39, 59), 0x80112233u);
  EXPECT_EQ(pixelAt(back, 9, 20), 0u);
  EXPECT_EQ(pixelAt(back, 40, 20), 0u);
  EXPECT_EQ(pixelAt(back, 10, 60), 0u);
  // D24S8: round(0.5 * 0xFFFFFF) = 0x800000 in bits 31..8, stencil 7 in 7..0.
  EXPECT_EQ(pixelAt(depth, 10, 20), 0x80000007u);
  EXPECT_EQ(pixelAt(depth, 9, 20), 0u);

  // Stencil alone keeps the depth part; rectangles are cut to the viewport.
  const D3DRECT rect{0, 0, 15, 25};
  ASSERT_EQ(device_->Clear(1, &rect, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0xFF00FF00, 1.0f, 0x1FF), D3D_OK);
  EXPECT_EQ(pixelAt(back, 14, 24), 0xFF00FF00u);
  EXPECT_EQ(pixelAt(back, 15, 24), 0x80112233u);
  EXPECT_EQ(pixelAt(back, 5, 5), 0u);
  EXPECT_EQ(pixelAt(depth, 14, 24), 0x800000FFu);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(pixelAt(depth, 14, 24), 0xFFFFFFFFu);
  EXPECT_EQ(pixelAt(depth, 20, 30), 0xFFFFFF07u);
}

TEST_F(D3D8Test, ClearRefusesBuffersThatAreNotThere) {
  D3DPRESENT_PARAMETERS params = fullScreenParams();
  params.AutoDepthStencilFormat = D3DFMT_D16;
  createDevice(params);
  const d3d8compat::Surface& back = *state().backBuffer;
  // The presentation's per-frame clear with a D16 fall-back: nothing at all is cleared.
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFFFFFFFF, 1.0f, 0),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(pixelAt(back, 0, 0), 0u);
  EXPECT_EQ(pixelAt(*state().depthStencil, 0, 0), 0u);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
  EXPECT_EQ(pixelAt(back, 639, 479), 0xFFFFFFFFu);
  EXPECT_EQ(pixelAt(*state().depthStencil, 639, 479), 0xFFFFu);

  ASSERT_EQ(device_->SetRenderTarget(nullptr, nullptr), D3D_OK);
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x01020304, 1.0f, 0), D3D_OK);
  EXPECT_EQ(pixelAt(back, 1, 1), 0x01020304u);
}
