// A device that forwards every call to the real one, except the resource creations a test tells it to
// refuse (with the error a full video memory gives). Lets a test see what the text code does when the
// device says no, without touching the device itself. Lives on the stack; AddRef/Release do nothing.
#pragma once

#include "compat/d3d8/d3d8.h"

class RefusingDevice final : public IDirect3DDevice8 {
 public:
  explicit RefusingDevice(IDirect3DDevice8* inner) : inner_(inner) {}
  ~RefusingDevice() override = default;

  bool refuseTextures = false;
  bool refuseVertexBuffers = false;

  HRESULT QueryInterface(REFIID iid, void** object) override { return inner_->QueryInterface(iid, object); }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }

  HRESULT GetDeviceCaps(D3DCAPS8* caps) override { return inner_->GetDeviceCaps(caps); }
  void SetGammaRamp(DWORD flags, const D3DGAMMARAMP* ramp) override { inner_->SetGammaRamp(flags, ramp); }
  HRESULT CreateTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                        IDirect3DTexture8** texture) override {
    if (refuseTextures) return D3DERR_OUTOFVIDEOMEMORY;
    return inner_->CreateTexture(w, h, levels, usage, format, pool, texture);
  }
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer8** buffer) override {
    if (refuseVertexBuffers) return D3DERR_OUTOFVIDEOMEMORY;
    return inner_->CreateVertexBuffer(length, usage, fvf, pool, buffer);
  }
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DIndexBuffer8** buffer) override {
    return inner_->CreateIndexBuffer(length, usage, format, pool, buffer);
  }
  HRESULT SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depth) override {
    return inner_->SetRenderTarget(target, depth);
  }
  HRESULT GetRenderTarget(IDirect3DSurface8** target) override { return inner_->GetRenderTarget(target); }
  HRESULT GetDepthStencilSurface(IDirect3DSurface8** depth) override { return inner_->GetDepthStencilSurface(depth); }
  HRESULT BeginScene() override { return inner_->BeginScene(); }
  HRESULT EndScene() override { return inner_->EndScene(); }
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override {
    return inner_->Clear(count, rects, flags, color, z, stencil);
  }
  HRESULT Present(const RECT* source, const RECT* dest, HWND window, const void* dirty) override {
    return inner_->Present(source, dest, window, dirty);
  }
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* m) override { return inner_->SetTransform(state, m); }
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* m) override { return inner_->GetTransform(state, m); }
  HRESULT SetViewport(const D3DVIEWPORT8* viewport) override { return inner_->SetViewport(viewport); }
  HRESULT GetViewport(D3DVIEWPORT8* viewport) override { return inner_->GetViewport(viewport); }
  HRESULT SetMaterial(const D3DMATERIAL8* material) override { return inner_->SetMaterial(material); }
  HRESULT SetLight(DWORD index, const D3DLIGHT8* light) override { return inner_->SetLight(index, light); }
  HRESULT LightEnable(DWORD index, BOOL enable) override { return inner_->LightEnable(index, enable); }
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override { return inner_->SetRenderState(state, value); }
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override { return inner_->GetRenderState(state, value); }
  HRESULT BeginStateBlock() override { return inner_->BeginStateBlock(); }
  HRESULT EndStateBlock(DWORD* token) override { return inner_->EndStateBlock(token); }
  HRESULT ApplyStateBlock(DWORD token) override { return inner_->ApplyStateBlock(token); }
  HRESULT CaptureStateBlock(DWORD token) override { return inner_->CaptureStateBlock(token); }
  HRESULT DeleteStateBlock(DWORD token) override { return inner_->DeleteStateBlock(token); }
  HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override { return inner_->GetTexture(stage, texture); }
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override { return inner_->SetTexture(stage, texture); }
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override {
    return inner_->GetTextureStageState(stage, type, value);
  }
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override {
    return inner_->SetTextureStageState(stage, type, value);
  }
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) override {
    return inner_->DrawPrimitive(type, start, count);
  }
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT startIndex,
                               UINT count) override {
    return inner_->DrawIndexedPrimitive(type, minIndex, numVertices, startIndex, count);
  }
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* data, UINT stride) override {
    return inner_->DrawPrimitiveUP(type, count, data, stride);
  }
  HRESULT SetVertexShader(DWORD handle) override { return inner_->SetVertexShader(handle); }
  HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* data, UINT stride) override {
    return inner_->SetStreamSource(stream, data, stride);
  }
  HRESULT SetIndices(IDirect3DIndexBuffer8* data, UINT baseVertex) override { return inner_->SetIndices(data, baseVertex); }

 private:
  IDirect3DDevice8* inner_;
};
