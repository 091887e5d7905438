// Draw-call validation and the record handed to the rasterizer: vertex layouts of the presentation's
// formats, ranges inside buffers, index bounds, base vertex, zero-primitive and user-pointer draws.
#include <vector>

#include "compat/d3d8/fvf.h"
#include "d3d8_fixture.h"

namespace {

struct DrawLog {
  int calls = 0;
  d3d8compat::DrawCall last{};
  const d3d8compat::DeviceState* state = nullptr;
};

void logDraw(const d3d8compat::DeviceState& state, const d3d8compat::DrawCall& call, void* context) {
  auto* log = static_cast<DrawLog*>(context);
  ++log->calls;
  log->last = call;
  log->state = &state;
}

class D3D8DrawTest : public D3D8Test {
 protected:
  void SetUp() override {
    D3D8Test::SetUp();
    createDevice();
    d3d8compat::setDrawObserver(logDraw, &log_);
    // Ten 36-byte vertices (FVF 0x152) and six 16-bit indices.
    ASSERT_EQ(device_->CreateVertexBuffer(360, D3DUSAGE_WRITEONLY, 0x152, D3DPOOL_MANAGED, &vertices_), D3D_OK);
    ASSERT_EQ(device_->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices_), D3D_OK);
    BYTE* data = nullptr;
    ASSERT_EQ(indices_->Lock(0, 0, &data, 0), D3D_OK);
    const uint16_t values[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(data, values, sizeof values);
    indices_->Unlock();
    device_->SetVertexShader(0x152);
    device_->SetStreamSource(0, vertices_, 36);
    device_->SetIndices(indices_, 0);
  }
  void TearDown() override {
    if (vertices_ != nullptr) vertices_->Release();
    if (indices_ != nullptr) indices_->Release();
    D3D8Test::TearDown();
  }

  const BYTE* vertexData() const { return static_cast<d3d8compat::VertexBuffer*>(vertices_)->data(); }

  DrawLog log_;
  IDirect3DVertexBuffer8* vertices_ = nullptr;
  IDirect3DIndexBuffer8* indices_ = nullptr;
};

}  // namespace

TEST(FvfLayout, PresentationFormatsDecodeToTheirDocumentedOffsets) {
  struct Case {
    DWORD fvf;
    UINT size;
    bool transformed;
    int normal, diffuse;
    UINT sets, tex0, tex1;
  };
  const Case cases[] = {
      {0x152, 36, false, 12, 24, 1, 28, 0},  // XYZ | NORMAL | DIFFUSE | TEX1
      {0x042, 16, false, -1, 12, 0, 0, 0},   // XYZ | DIFFUSE
      {0x144, 28, true, -1, 16, 1, 20, 0},   // XYZRHW | DIFFUSE | TEX1
      {0x244, 36, true, -1, 16, 2, 20, 28},  // XYZRHW | DIFFUSE | TEX2
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fvf);
    d3d8compat::FvfLayout layout;
    ASSERT_TRUE(d3d8compat::decodeFvf(c.fvf, &layout));
    EXPECT_EQ(layout.size, c.size);
    EXPECT_EQ(layout.transformed, c.transformed);
    EXPECT_EQ(layout.normal, c.normal);
    EXPECT_EQ(layout.diffuse, c.diffuse);
    EXPECT_EQ(layout.texCoordSets, c.sets);
    if (c.sets > 0) {
      EXPECT_EQ(layout.texCoordOffset[0], c.tex0);
    }
    if (c.sets > 1) {
      EXPECT_EQ(layout.texCoordOffset[1], c.tex1);
    }
  }
  d3d8compat::FvfLayout layout;
  // Other computable codes: specular, point size, a 3-component set.
  ASSERT_TRUE(d3d8compat::decodeFvf(D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_SPECULAR | D3DFVF_TEX2 |
                                        D3DFVF_TEXCOORDSIZE3(0), &layout));
  EXPECT_EQ(layout.pointSize, 12);
  EXPECT_EQ(layout.specular, 16);
  EXPECT_EQ(layout.texCoordDimension[0], 3u);
  EXPECT_EQ(layout.texCoordOffset[1], 32u);
  EXPECT_EQ(layout.size, 40u);
  EXPECT_FALSE(d3d8compat::decodeFvf(0x153, &layout));  // bit 0: a shader handle
  EXPECT_FALSE(d3d8compat::decodeFvf(0x040, &layout));  // no position
  EXPECT_FALSE(d3d8compat::decodeFvf(D3DFVF_XYZRHW | D3DFVF_NORMAL, &layout));
}

TEST_F(D3D8DrawTest, ValidDrawsReachTheRasterizerWithTheirVertices) {
  ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 3), D3D_OK);  // vertices 1..9: the last one fits
  ASSERT_EQ(log_.calls, 1);
  EXPECT_EQ(log_.state, &state());
  EXPECT_EQ(log_.last.type, D3DPT_TRIANGLELIST);
  EXPECT_EQ(log_.last.primitiveCount, 3u);
  EXPECT_EQ(log_.last.vertices, vertexData() + 36);
  EXPECT_EQ(log_.last.vertexCount, 9u);
  EXPECT_EQ(log_.last.stride, 36u);
  EXPECT_EQ(log_.last.layout.fvf, 0x152u);
  EXPECT_EQ(log_.last.indices, nullptr);

  ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 8), D3D_OK);
  EXPECT_EQ(log_.last.vertexCount, 10u);
  ASSERT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, 9, 1), D3D_OK);
  EXPECT_EQ(log_.calls, 3);
}

TEST_F(D3D8DrawTest, IndexedDrawsAddTheBaseVertex) {
  ASSERT_EQ(device_->SetIndices(indices_, 2), D3D_OK);
  ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 1), D3D_OK);
  ASSERT_EQ(log_.calls, 1);
  EXPECT_EQ(log_.last.vertices, vertexData() + 2 * 36);
  EXPECT_EQ(log_.last.indexSize, 2u);
  EXPECT_EQ(log_.last.indexCount, 3u);
  uint16_t first = 0;
  std::memcpy(&first, log_.last.indices, 2);
  EXPECT_EQ(first, 2);  // index element 3
  EXPECT_EQ(log_.last.vertexCount, 4u);
}

TEST_F(D3D8DrawTest, DrawsOutsideTheirBuffersOrWithoutThemFail) {
  struct Case {
    const char* what;
    HRESULT (*draw)(IDirect3DDevice8*);
  };
  const Case cases[] = {
      {"past the end", [](IDirect3DDevice8* d) { return d->DrawPrimitive(D3DPT_TRIANGLELIST, 2, 3); }},
      {"strip past the end", [](IDirect3DDevice8* d) { return d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 9); }},
      {"bad primitive type", [](IDirect3DDevice8* d) { return d->DrawPrimitive(D3DPRIMITIVETYPE(7), 0, 1); }},
      {"index beyond the stated range",
       [](IDirect3DDevice8* d) { return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 3, 1); }},
      {"index below the stated range",
       [](IDirect3DDevice8* d) { return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 3, 0, 1); }},
      {"indices past the index buffer",
       [](IDirect3DDevice8* d) { return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 4, 1); }},
      {"vertex range past the buffer",
       [](IDirect3DDevice8* d) { return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 11, 0, 2); }},
      {"stride shorter than the format",
       [](IDirect3DDevice8* d) {
         IDirect3DVertexBuffer8* vb = nullptr;
         d->CreateVertexBuffer(360, 0, 0, D3DPOOL_MANAGED, &vb);
         d->SetStreamSource(0, vb, 28);  // 0x152 needs 36 bytes
         vb->Release();
         return d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1);
       }},
      {"no stream", [](IDirect3DDevice8* d) {
         d->SetStreamSource(0, nullptr, 0);
         return d->DrawPrimitive(D3DPT_POINTLIST, 0, 1);
       }},
      {"no index buffer", [](IDirect3DDevice8* d) {
         d->SetIndices(nullptr, 0);
         return d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1);
       }},
      {"user data missing", [](IDirect3DDevice8* d) { return d->DrawPrimitiveUP(D3DPT_POINTLIST, 1, nullptr, 36); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.draw(device_), D3DERR_INVALIDCALL);
    // Back to the fixture's bindings for the next case.
    device_->SetVertexShader(0x152);
    device_->SetStreamSource(0, vertices_, 36);
    device_->SetIndices(indices_, 0);
  }
  // A base vertex that leaves the range inside the buffer is fine, one more is not.
  device_->SetIndices(indices_, 6);
  EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
  device_->SetIndices(indices_, 7);
  EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(log_.calls, 1);
}

TEST_F(D3D8DrawTest, LockedBuffersAndInvalidFormatsAreRefused) {
  BYTE* data = nullptr;
  ASSERT_EQ(vertices_->Lock(0, 0, &data, 0), D3D_OK);
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
  vertices_->Unlock();
  ASSERT_EQ(indices_->Lock(0, 0, &data, 0), D3D_OK);
  EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL);
  indices_->Unlock();
  EXPECT_EQ(device_->SetVertexShader(0x153), D3DERR_INVALIDCALL);
  EXPECT_EQ(state().fvf, 0x152u);
  EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
  EXPECT_EQ(log_.calls, 1);
}

TEST_F(D3D8DrawTest, UserPointerDrawsUnsetStreamZeroEvenWhenEmpty) {
  ASSERT_EQ(device_->DrawPrimitive(D3DPT_POINTLIST, 0, 0), D3D_OK);
  EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 0, 0), D3D_OK);
  EXPECT_EQ(state().streamSource, vertices_);
  ASSERT_EQ(device_->SetVertexShader(0x42), D3D_OK);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 0, nullptr, 16), D3D_OK);  // an empty sprite batch
  EXPECT_EQ(log_.calls, 0);
  EXPECT_EQ(state().streamSource, nullptr);

  std::vector<BYTE> sprites(3 * 16);
  device_->SetStreamSource(0, vertices_, 36);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 3, sprites.data(), 16), D3D_OK);
  ASSERT_EQ(log_.calls, 1);
  EXPECT_EQ(log_.last.vertices, sprites.data());
  EXPECT_EQ(log_.last.vertexCount, 3u);
  EXPECT_EQ(log_.last.stride, 16u);
  EXPECT_EQ(log_.last.layout.diffuse, 12);
  EXPECT_EQ(state().streamSource, nullptr);
  EXPECT_EQ(state().streamStride, 0u);
  EXPECT_EQ(refCount(vertices_), 1u);  // the device let go of the buffer
}
