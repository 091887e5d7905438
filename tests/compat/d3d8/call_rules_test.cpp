// Call rules as native Direct3D 8 has them: calls it accepts (extra world matrices, SetVertexShader(0),
// any light index, scratch textures, a lockable back buffer, any depth range), calls it refuses (two
// back buffers with a copy swap effect, dynamic render targets, another device's surfaces, presenting to
// a destroyed window), Clear's argument rules, texture locks and level layout, and object lifetimes
// when the device is released before its resources.
#include <cmath>

#include "d3d8_fixture.h"

namespace {

D3DMATRIX scaled(float s) {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = s;
  m._44 = 1.0f;
  return m;
}

}  // namespace

TEST_F(D3D8Test, CallsNativeDirect3D8Accepts) {
  createDevice();
  // World matrices 1..255 are kept apart from WORLD; 256 past them is no transform.
  const D3DMATRIX five = scaled(5.0f), seven = scaled(7.0f);
  EXPECT_EQ(device_->SetTransform(D3DTS_WORLDMATRIX(1), &five), D3D_OK);
  EXPECT_EQ(device_->SetTransform(D3DTS_WORLDMATRIX(255), &seven), D3D_OK);
  D3DMATRIX read{};
  ASSERT_EQ(device_->GetTransform(D3DTS_WORLDMATRIX(1), &read), D3D_OK);
  EXPECT_EQ(read._11, 5.0f);
  ASSERT_EQ(device_->GetTransform(D3DTS_WORLDMATRIX(255), &read), D3D_OK);
  EXPECT_EQ(read._22, 7.0f);
  ASSERT_EQ(device_->GetTransform(D3DTS_WORLD, &read), D3D_OK);
  EXPECT_EQ(read._11, 1.0f);
  EXPECT_EQ(device_->SetTransform(D3DTS_WORLDMATRIX(256), &five), D3DERR_INVALIDCALL);

  // No vertex format: accepted, and draws then fail.
  EXPECT_EQ(device_->SetVertexShader(0), D3D_OK);
  const float point[3] = {0, 0, 0};
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, point, 12), D3DERR_INVALIDCALL);

  // Light indices have no limit, and more than MaxActiveLights may be enabled at once.
  D3DLIGHT8 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Direction = {0, 0, 1};
  D3DCAPS8 caps{};
  device_->GetDeviceCaps(&caps);
  for (DWORD index : {8u, 1000u, 0x7FFFFFFFu}) EXPECT_EQ(device_->SetLight(index, &light), D3D_OK) << index;
  for (DWORD i = 0; i <= caps.MaxActiveLights; ++i) EXPECT_EQ(device_->LightEnable(i, TRUE), D3D_OK) << i;
  ASSERT_NE(d3d8compat::findLight(state(), 1000), nullptr);
  EXPECT_EQ(d3d8compat::findLight(state(), 1000)->light.Direction.z, 1.0f);
  EXPECT_TRUE(d3d8compat::findLight(state(), caps.MaxActiveLights)->enabled);

  // Any finite depth range, in either order; the area rules stay.
  struct ViewportCase {
    D3DVIEWPORT8 viewport;
    HRESULT expected;
  };
  const ViewportCase viewports[] = {
      {{0, 0, 640, 480, 0.0f, 7.5f}, D3D_OK},       {{0, 0, 640, 480, 0.8f, 0.2f}, D3D_OK},
      {{0, 0, 640, 480, -1.0f, 2.0f}, D3D_OK},      {{0, 0, 640, 480, NAN, 1.0f}, D3DERR_INVALIDCALL},
      {{0, 0, 0, 480, 0.0f, 1.0f}, D3DERR_INVALIDCALL}, {{1, 0, 640, 480, 0.0f, 1.0f}, D3DERR_INVALIDCALL},
  };
  for (const ViewportCase& c : viewports) {
    SCOPED_TRACE(testing::Message() << c.viewport.X << " " << c.viewport.Width << " " << c.viewport.MinZ << ".."
                                    << c.viewport.MaxZ);
    EXPECT_EQ(device_->SetViewport(&c.viewport), c.expected);
  }
}

TEST_F(D3D8Test, ScratchTexturesLockButAreNotDrawnWith) {
  createDevice();
  IDirect3DTexture8* scratch = nullptr;
  ASSERT_EQ(device_->CreateTexture(4096, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &scratch), D3D_OK);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(scratch->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 4096 * 4);
  scratch->UnlockRect(0);
  EXPECT_EQ(device_->SetTexture(0, scratch), D3DERR_INVALIDCALL);
  EXPECT_EQ(state().textures[0], nullptr);
  EXPECT_EQ(scratch->Release(), 0u);
}

TEST_F(D3D8Test, TheBackBufferLocksOnlyWhenAskedForLockable) {
  for (bool lockable : {false, true}) {
    SCOPED_TRACE(lockable);
    D3DPRESENT_PARAMETERS params = fullScreenParams();
    params.Flags = lockable ? D3DPRESENTFLAG_LOCKABLE_BACKBUFFER : 0;
    createDevice(params);
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(device_->GetRenderTarget(&back), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(back->LockRect(&locked, nullptr, 0) == D3D_OK, lockable);
    if (lockable) {
      EXPECT_EQ(locked.Pitch, 640 * 4);
      // A surface of its own checks the rectangle, clears the record when it refuses, and will not unlock twice.
      EXPECT_EQ(back->UnlockRect(), D3D_OK);
      const RECT outside{600, 0, 700, 10};
      EXPECT_EQ(back->LockRect(&locked, &outside, 0), D3DERR_INVALIDCALL);
      EXPECT_EQ(locked.pBits, nullptr);
      EXPECT_EQ(back->UnlockRect(), D3DERR_INVALIDCALL);
    }
    back->Release();
    device_->Release();
    device_ = nullptr;
  }
}

TEST_F(D3D8Test, CallsNativeDirect3D8Refuses) {
  // One back buffer with a copy swap effect (0 means 1); two are fine with the others.
  struct SwapCase {
    D3DSWAPEFFECT effect;
    UINT backBuffers;
    HRESULT expected;
  };
  const SwapCase swaps[] = {{D3DSWAPEFFECT_COPY, 2, D3DERR_INVALIDCALL}, {D3DSWAPEFFECT_COPY_VSYNC, 2, D3DERR_INVALIDCALL},
                            {D3DSWAPEFFECT_COPY, 1, D3D_OK},             {D3DSWAPEFFECT_COPY_VSYNC, 0, D3D_OK},
                            {D3DSWAPEFFECT_DISCARD, 2, D3D_OK},          {D3DSWAPEFFECT_FLIP, 3, D3D_OK}};
  for (const SwapCase& c : swaps) {
    SCOPED_TRACE(testing::Message() << "swap effect " << c.effect << ", back buffers " << c.backBuffers);
    D3DPRESENT_PARAMETERS params = fullScreenParams();
    params.SwapEffect = c.effect;
    params.BackBufferCount = c.backBuffers;
    IDirect3DDevice8* device = nullptr;
    EXPECT_EQ(tryCreate(params, D3DCREATE_HARDWARE_VERTEXPROCESSING, &device), c.expected);
    if (device != nullptr) {
      EXPECT_EQ(device->Release(), 0u);
    }
  }

  createDevice();
  IDirect3DTexture8* texture = nullptr;
  EXPECT_EQ(device_->CreateTexture(64, 64, 1, D3DUSAGE_DYNAMIC | D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8,
                                   D3DPOOL_DEFAULT, &texture),
            D3DERR_INVALIDCALL);

  // The surfaces and textures of another device.
  IDirect3DDevice8* other = nullptr;
  ASSERT_EQ(tryCreate(fullScreenParams(), D3DCREATE_HARDWARE_VERTEXPROCESSING, &other), D3D_OK);
  IDirect3DSurface8* otherTarget = nullptr;
  IDirect3DSurface8* otherDepth = nullptr;
  IDirect3DTexture8* otherTexture = nullptr;
  ASSERT_EQ(other->GetRenderTarget(&otherTarget), D3D_OK);
  ASSERT_EQ(other->GetDepthStencilSurface(&otherDepth), D3D_OK);
  ASSERT_EQ(other->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &otherTexture), D3D_OK);
  EXPECT_EQ(device_->SetRenderTarget(otherTarget, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetRenderTarget(nullptr, otherDepth), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->SetTexture(0, otherTexture), D3DERR_INVALIDCALL);
  EXPECT_EQ(state().renderTarget, state().backBuffer);
  otherTexture->Release();
  otherDepth->Release();
  otherTarget->Release();
  EXPECT_EQ(other->Release(), 0u);

  // Presenting to a window that is gone.
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  DestroyWindow(window_);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
}

// Count 0 with rectangles clears nothing; a count without rectangles clears the whole viewport. Both
// succeed.
TEST_F(D3D8Test, ClearArgumentRulesOfCountAndRectangles) {
  createDevice();
  const d3d8compat::Surface& back = *state().backBuffer;
  const D3DRECT rect{0, 0, 4, 4};
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF111111, 1.0f, 0), D3D_OK);
  EXPECT_EQ(device_->Clear(0, &rect, D3DCLEAR_TARGET, 0xFF222222, 1.0f, 0), D3D_OK);
  EXPECT_EQ(pixelAt(back, 1, 1), 0xFF111111u);
  EXPECT_EQ(device_->Clear(2, nullptr, D3DCLEAR_TARGET, 0xFF333333, 1.0f, 0), D3D_OK);
  EXPECT_EQ(pixelAt(back, 1, 1), 0xFF333333u);
  EXPECT_EQ(pixelAt(back, 639, 479), 0xFF333333u);
}

// Texture levels lock as native ones do: no rectangle is checked (the pointer is top * pitch + left *
// 4 from the level's start, wherever that is), a second lock fails and leaves the caller's record alone,
// and unlocking a level that is not locked succeeds.
TEST_F(D3D8Test, TextureLevelLockRules) {
  createDevice();
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(128, 128, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  const uintptr_t base = reinterpret_cast<uintptr_t>(locked.pBits);
  ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
  const RECT rects[] = {{60, 60, 68, 68},   {120, 60, 128, 68}, {60, 60, 60, 68},  {68, 60, 60, 68},
                        {-8, 60, 0, 68},    {60, -8, 68, 0},    {60, 60, 136, 68}, {136, 60, 144, 68}};
  for (const RECT& r : rects) {
    SCOPED_TRACE(testing::Message() << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom);
    ASSERT_EQ(texture->LockRect(0, &locked, &r, 0), D3D_OK);
    const intptr_t offset = static_cast<intptr_t>(reinterpret_cast<uintptr_t>(locked.pBits) - base);
    EXPECT_EQ(offset, r.top * 512 + r.left * 4);
    D3DLOCKED_RECT again{7, reinterpret_cast<void*>(0x1234)};
    EXPECT_EQ(texture->LockRect(0, &again, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(again.Pitch, 7);
    EXPECT_EQ(again.pBits, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
  }
  EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
  EXPECT_EQ(texture->UnlockRect(1), D3DERR_INVALIDCALL);  // no such level
  texture->Release();
}

// The levels of a texture lie one after another: level k starts where level k - 1's last row ends.
TEST_F(D3D8Test, MipLevelsLieOneAfterAnother) {
  createDevice();
  struct LayoutCase {
    UINT width, height;
    D3DFORMAT format;
    D3DPOOL pool;
  };
  const LayoutCase cases[] = {{256, 256, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED},
                              {64, 16, D3DFMT_A4R4G4B4, D3DPOOL_SYSTEMMEM},
                              {257, 100, D3DFMT_R5G6B5, D3DPOOL_SCRATCH}};
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(c.width, c.height, 0, 0, c.format, c.pool, &texture), D3D_OK);
    uintptr_t expected = 0;
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
      D3DLOCKED_RECT locked{};
      ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
      const uintptr_t at = reinterpret_cast<uintptr_t>(locked.pBits);
      if (level > 0) {
        EXPECT_EQ(at, expected) << "level " << level;
      }
      expected = at + static_cast<uintptr_t>(std::max(1u, c.height >> level)) * static_cast<uintptr_t>(locked.Pitch);
      texture->UnlockRect(level);
    }
    texture->Release();
  }
}

TEST_F(D3D8Test, FailedCreateTextureLeavesTheOutputAlone) {
  createDevice();
  struct FailCase {
    UINT width, levels;
    DWORD usage;
    D3DFORMAT format;
    D3DPOOL pool;
  };
  const FailCase cases[] = {{0, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED},
                            {64, 8, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED},
                            {64, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED},
                            {64, 1, D3DUSAGE_WRITEONLY, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED},
                            {64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_SCRATCH}};
  for (const FailCase& c : cases) {
    IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(0xDEADBEEF);
    EXPECT_EQ(device_->CreateTexture(c.width, 64, c.levels, c.usage, c.format, c.pool, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, reinterpret_cast<IDirect3DTexture8*>(0xDEADBEEF));
  }
}

// Resources hold their device and the device its Direct3D object, as COM counts them: the application
// lets go of the device and of Direct3D first, the resources still work, and the last one to go takes
// the device and Direct3D with it (the address sanitizer build checks that nothing is used after it is
// freed and nothing is left over). The device's own holds never show in the counts.
TEST_F(D3D8Test, TheDeviceLivesUntilItsLastResourceIsReleased) {
  createDevice();
  EXPECT_EQ(refCount(d3d_), 2u);  // the application's and the device's
  EXPECT_EQ(refCount(device_), 1u);
  IDirect3DTexture8* texture = nullptr;
  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(device_->CreateTexture(32, 32, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
  ASSERT_EQ(device_->CreateVertexBuffer(360, D3DUSAGE_WRITEONLY, 0x152, D3DPOOL_MANAGED, &buffer), D3D_OK);
  EXPECT_EQ(refCount(device_), 3u);
  device_->SetTexture(0, texture);
  device_->SetStreamSource(0, buffer, 36);
  EXPECT_EQ(refCount(texture), 1u);

  // The back buffer handed out holds the device too, only while the application holds it.
  IDirect3DSurface8* back = nullptr;
  ASSERT_EQ(device_->GetRenderTarget(&back), D3D_OK);
  EXPECT_EQ(refCount(device_), 4u);
  EXPECT_EQ(back->Release(), 0u);
  EXPECT_EQ(refCount(device_), 3u);

  EXPECT_EQ(device_->Release(), 2u);
  device_ = nullptr;
  EXPECT_EQ(d3d_->Release(), 1u);
  d3d_ = nullptr;
  EXPECT_EQ(texture->Release(), 0u);
  BYTE* data = nullptr;
  ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
  data[0] = 1;
  EXPECT_EQ(buffer->Unlock(), D3D_OK);
  EXPECT_EQ(buffer->Release(), 0u);  // the device, its bound texture and Direct3D go now
}
