// State blocks: recording leaves the device alone, Capture takes exactly the recorded states, Apply
// restores them, textures stay referenced, and block calls are refused while recording.
#include "d3d8_fixture.h"

namespace {

// The presentation's text block: a texture, blend and cull states and stage-0 operations.
DWORD recordTextBlock(IDirect3DDevice8* device, IDirect3DTexture8* texture) {
  EXPECT_EQ(device->BeginStateBlock(), D3D_OK);
  device->SetTexture(0, texture);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_ZENABLE, FALSE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  DWORD token = 0;
  EXPECT_EQ(device->EndStateBlock(&token), D3D_OK);
  return token;
}

}  // namespace

TEST_F(D3D8Test, RecordingAStateBlockLeavesTheDeviceUnchanged) {
  createDevice();
  IDirect3DTexture8* atlas = nullptr;
  ASSERT_EQ(device_->CreateTexture(64, 64, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &atlas), D3D_OK);
  const DWORD token = recordTextBlock(device_, atlas);
  EXPECT_NE(token, 0u);
  EXPECT_NE(token, 0xFFFFFFFFu);
  EXPECT_EQ(state().textures[0], nullptr);
  EXPECT_EQ(state().renderStates[D3DRS_ALPHABLENDENABLE], DWORD{FALSE});
  EXPECT_EQ(state().renderStates[D3DRS_CULLMODE], DWORD{D3DCULL_CCW});
  EXPECT_EQ(state().stageStates[0][D3DTSS_COLORARG2], D3DTA_CURRENT);

  // The block keeps the texture alive after the application lets go of it; as in native Direct3D 8,
  // the device's own holds do not show in the count.
  EXPECT_EQ(refCount(atlas), 1u);
  EXPECT_EQ(atlas->Release(), 0u);
  ASSERT_EQ(device_->ApplyStateBlock(token), D3D_OK);
  EXPECT_EQ(state().textures[0], atlas);
  EXPECT_EQ(atlas->GetLevelCount(), 1u);
  EXPECT_EQ(state().renderStates[D3DRS_ALPHABLENDENABLE], DWORD{TRUE});
  EXPECT_EQ(state().renderStates[D3DRS_ZENABLE], DWORD{FALSE});
  EXPECT_EQ(state().stageStates[0][D3DTSS_COLORARG2], D3DTA_DIFFUSE);
  ASSERT_EQ(device_->DeleteStateBlock(token), D3D_OK);
  EXPECT_EQ(state().textures[0], atlas);  // still bound: still alive
  EXPECT_EQ(atlas->GetLevelCount(), 1u);
  EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
}

TEST_F(D3D8Test, CaptureTakesOnlyTheRecordedStatesAndApplyRestoresThem) {
  createDevice();
  IDirect3DTexture8* atlas = nullptr;
  IDirect3DTexture8* scene = nullptr;
  ASSERT_EQ(device_->CreateTexture(64, 64, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &atlas), D3D_OK);
  ASSERT_EQ(device_->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &scene), D3D_OK);
  const DWORD saved = recordTextBlock(device_, atlas);
  const DWORD text = recordTextBlock(device_, atlas);

  // The caller's state, then the text drawing pattern: Capture(saved), Apply(text), ..., Apply(saved).
  device_->SetTexture(0, scene);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  ASSERT_EQ(device_->CaptureStateBlock(saved), D3D_OK);
  ASSERT_EQ(device_->ApplyStateBlock(text), D3D_OK);
  EXPECT_EQ(state().textures[0], atlas);
  EXPECT_EQ(state().renderStates[D3DRS_CULLMODE], DWORD{D3DCULL_NONE});
  device_->SetRenderState(D3DRS_LIGHTING, TRUE);  // not in the block: Apply(saved) must not touch it
  ASSERT_EQ(device_->ApplyStateBlock(saved), D3D_OK);
  EXPECT_EQ(state().textures[0], scene);
  EXPECT_EQ(state().renderStates[D3DRS_CULLMODE], DWORD{D3DCULL_CW});
  EXPECT_EQ(state().renderStates[D3DRS_ALPHABLENDENABLE], DWORD{FALSE});
  EXPECT_EQ(state().renderStates[D3DRS_ZENABLE], DWORD{D3DZB_TRUE});
  EXPECT_EQ(state().stageStates[0][D3DTSS_COLORARG2], D3DTA_CURRENT);
  EXPECT_EQ(state().renderStates[D3DRS_LIGHTING], DWORD{TRUE});

  // A capture with no texture bound restores "no texture".
  device_->SetTexture(0, nullptr);
  ASSERT_EQ(device_->CaptureStateBlock(saved), D3D_OK);
  device_->SetTexture(0, scene);
  ASSERT_EQ(device_->ApplyStateBlock(saved), D3D_OK);
  EXPECT_EQ(state().textures[0], nullptr);

  atlas->Release();
  scene->Release();
}

TEST_F(D3D8Test, StateBlocksRecordTransformsLightsAndStreams) {
  createDevice();
  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(360, 0, 0x152, D3DPOOL_MANAGED, &buffer), D3D_OK);
  D3DMATRIX moved{};
  moved._11 = moved._22 = moved._33 = moved._44 = 1.0f;
  moved._41 = 5.0f;
  ASSERT_EQ(device_->BeginStateBlock(), D3D_OK);
  device_->SetTransform(D3DTS_WORLD, &moved);
  device_->LightEnable(3, TRUE);
  device_->SetStreamSource(0, buffer, 36);
  device_->SetVertexShader(0x152);
  DWORD token = 0;
  ASSERT_EQ(device_->EndStateBlock(&token), D3D_OK);
  EXPECT_EQ(state().world._41, 0.0f);
  EXPECT_EQ(d3d8compat::findLight(state(), 3), nullptr);
  EXPECT_EQ(state().streamSource, nullptr);

  ASSERT_EQ(device_->ApplyStateBlock(token), D3D_OK);
  EXPECT_EQ(state().world._41, 5.0f);
  const d3d8compat::LightSlot* light = d3d8compat::findLight(state(), 3);
  ASSERT_NE(light, nullptr);
  EXPECT_TRUE(light->enabled);
  EXPECT_EQ(light->light.Type, D3DLIGHT_DIRECTIONAL);  // enabling an unset light defines the default one
  EXPECT_EQ(light->light.Direction.z, 1.0f);
  EXPECT_EQ(state().streamSource, buffer);
  EXPECT_EQ(state().streamStride, 36u);
  EXPECT_EQ(state().fvf, 0x152u);
  buffer->Release();
}

TEST_F(D3D8Test, BlockCallsAreRefusedWhileRecordingOrForUnknownTokens) {
  createDevice();
  const DWORD token = recordTextBlock(device_, nullptr);
  ASSERT_EQ(device_->BeginStateBlock(), D3D_OK);
  EXPECT_EQ(device_->BeginStateBlock(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CaptureStateBlock(token), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->ApplyStateBlock(token), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DeleteStateBlock(token), D3DERR_INVALIDCALL);
  DWORD second = 0;
  ASSERT_EQ(device_->EndStateBlock(&second), D3D_OK);
  EXPECT_NE(second, token);
  EXPECT_EQ(device_->EndStateBlock(&second), D3DERR_INVALIDCALL);

  EXPECT_EQ(device_->ApplyStateBlock(0), D3D_OK);  // token 0 is never a block: nothing to apply
  EXPECT_EQ(device_->ApplyStateBlock(0xFFFFFFFF), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->DeleteStateBlock(token), D3D_OK);
  EXPECT_EQ(device_->ApplyStateBlock(token), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->ApplyStateBlock(second), D3D_OK);
}
