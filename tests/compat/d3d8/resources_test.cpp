// Textures, surfaces and buffers: mip chains, lock pitch and addressing, lockability, buffer lock
// ranges and reference counting.
#include "d3d8_fixture.h"

TEST_F(D3D8Test, FullMipChainHalvesEachSideDownToOnePixel) {
  createDevice();
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(256, 256, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
  ASSERT_EQ(texture->GetLevelCount(), 9u);
  for (UINT level = 0; level < 9; ++level) {
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(level, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 256u >> level);
    EXPECT_EQ(desc.Height, 256u >> level);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
  }
  D3DSURFACE_DESC desc{};
  EXPECT_EQ(texture->GetLevelDesc(9, &desc), D3DERR_INVALIDCALL);
  texture->Release();

  // A non-square chain follows the longer side; the shorter one stops at 1.
  ASSERT_EQ(device_->CreateTexture(128, 32, 0, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &texture), D3D_OK);
  ASSERT_EQ(texture->GetLevelCount(), 8u);
  ASSERT_EQ(texture->GetLevelDesc(6, &desc), D3D_OK);
  EXPECT_EQ(desc.Width, 2u);
  EXPECT_EQ(desc.Height, 1u);
  texture->Release();
  EXPECT_EQ(device_->CreateTexture(256, 256, 10, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
            D3DERR_INVALIDCALL);
}

TEST_F(D3D8Test, LockRectReturnsTightlyPackedRows) {
  createDevice();
  IDirect3DTexture8* argb = nullptr;
  IDirect3DTexture8* font = nullptr;
  ASSERT_EQ(device_->CreateTexture(256, 256, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &argb), D3D_OK);
  ASSERT_EQ(device_->CreateTexture(512, 512, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &font), D3D_OK);
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(argb->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 1024);
  // Mark texel (5, 3), then find it again at the start of a sub-rectangle lock.
  static_cast<uint32_t*>(locked.pBits)[3 * 256 + 5] = 0x12345678;
  EXPECT_EQ(argb->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
  ASSERT_EQ(argb->UnlockRect(0), D3D_OK);
  const RECT rect{5, 3, 9, 4};
  ASSERT_EQ(argb->LockRect(0, &locked, &rect, 0), D3D_OK);
  uint32_t marked = 0;
  std::memcpy(&marked, locked.pBits, 4);
  EXPECT_EQ(marked, 0x12345678u);
  ASSERT_EQ(argb->UnlockRect(0), D3D_OK);
  EXPECT_EQ(argb->UnlockRect(0), D3D_OK);  // a level that is not locked unlocks, as native levels do

  ASSERT_EQ(argb->LockRect(3, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 32 * 4);
  argb->UnlockRect(3);
  ASSERT_EQ(font->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(locked.Pitch, 1024);
  font->UnlockRect(0);
  // Native texture levels do not check the rectangle: the pointer is where it says.
  const RECT outside{500, 500, 513, 510};
  ASSERT_EQ(font->LockRect(0, &locked, &outside, 0), D3D_OK);
  font->UnlockRect(0);
  argb->Release();
  font->Release();
}

TEST_F(D3D8Test, RenderTargetAndDefaultPoolTexturesCannotBeLocked) {
  createDevice();
  struct Case {
    DWORD usage;
    D3DPOOL pool;
    D3DFORMAT format;
    HRESULT create;
    bool lockable;
  };
  const Case cases[] = {
      {D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, D3DFMT_X8R8G8B8, D3D_OK, false},
      {0, D3DPOOL_DEFAULT, D3DFMT_A8R8G8B8, D3D_OK, false},
      {D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, D3DFMT_A8R8G8B8, D3D_OK, true},
      {0, D3DPOOL_SYSTEMMEM, D3DFMT_A8R8G8B8, D3D_OK, true},
      {D3DUSAGE_RENDERTARGET, D3DPOOL_MANAGED, D3DFMT_X8R8G8B8, D3DERR_INVALIDCALL, false},
      {D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, D3DFMT_A4R4G4B4, D3DERR_INVALIDCALL, false},
      {0, D3DPOOL_MANAGED, D3DFMT_D24S8, D3DERR_INVALIDCALL, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "usage " << c.usage << " pool " << c.pool << " format " << c.format);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(256, 256, 1, c.usage, c.format, c.pool, &texture), c.create);
    if (texture == nullptr) continue;
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0) == D3D_OK, c.lockable);
    texture->Release();
  }
}

TEST_F(D3D8Test, VertexBufferLocksAddressTheOffsetAndNest) {
  createDevice();
  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(100, D3DUSAGE_WRITEONLY, 0x152, D3DPOOL_MANAGED, &buffer), D3D_OK);
  BYTE* whole = nullptr;
  BYTE* part = nullptr;
  ASSERT_EQ(buffer->Lock(0, 0, &whole, 0), D3D_OK);
  ASSERT_EQ(buffer->Lock(40, 20, &part, 0), D3D_OK);
  EXPECT_EQ(part, whole + 40);
  part[0] = 0xAB;
  EXPECT_EQ(buffer->Unlock(), D3D_OK);
  EXPECT_EQ(buffer->Unlock(), D3D_OK);
  EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);

  BYTE* again = nullptr;
  ASSERT_EQ(buffer->Lock(40, 0, &again, D3DLOCK_DISCARD), D3D_OK);  // size 0: the rest of the buffer
  EXPECT_EQ(again[0], 0xAB);
  buffer->Unlock();
  EXPECT_EQ(buffer->Lock(90, 20, &again, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(buffer->Lock(100, 0, &again, 0), D3DERR_INVALIDCALL);

  D3DVERTEXBUFFER_DESC desc{};
  ASSERT_EQ(buffer->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Size, 100u);
  EXPECT_EQ(desc.FVF, 0x152u);
  buffer->Release();
}

TEST_F(D3D8Test, BoundTexturesAndBuffersLiveUntilUnbound) {
  createDevice();
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(64, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
  // Binding holds the texture without showing in its count, as in native Direct3D 8.
  ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
  EXPECT_EQ(refCount(texture), 1u);
  EXPECT_EQ(device_->SetTexture(0, texture), D3D_OK);
  EXPECT_EQ(refCount(texture), 1u);

  // A level surface shares the texture's count.
  IDirect3DSurface8* level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(1, &level), D3D_OK);
  EXPECT_EQ(refCount(texture), 2u);
  EXPECT_EQ(level->Release(), 1u);

  EXPECT_EQ(texture->Release(), 0u);  // the application's last reference; the device still holds it
  EXPECT_EQ(texture->GetLevelCount(), 7u);
  IDirect3DBaseTexture8* bound = nullptr;
  ASSERT_EQ(device_->GetTexture(0, &bound), D3D_OK);
  EXPECT_EQ(bound, texture);
  EXPECT_EQ(bound->Release(), 0u);

  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &buffer), D3D_OK);
  ASSERT_EQ(device_->SetStreamSource(0, buffer, 16), D3D_OK);
  EXPECT_EQ(buffer->Release(), 0u);
  EXPECT_EQ(state().streamSource, buffer);
  ASSERT_EQ(device_->SetStreamSource(0, nullptr, 0), D3D_OK);
  EXPECT_EQ(state().streamSource, nullptr);
  EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
  EXPECT_EQ(state().textures[0], nullptr);
}
