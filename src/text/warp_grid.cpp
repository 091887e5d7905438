#include "text/warp_grid.h"

#include <cmath>

#include "platform/graphics.h"
#include "text/overlay.h"

namespace {

constexpr float kColumnStep = 0.025f;        // 1/40
constexpr float kRowStep = 0.033333335f;     // 1/30 as a float
constexpr UINT kCells = (WarpGrid::kRows - 1) * (WarpGrid::kColumns - 1);

}  // namespace

WarpGrid::WarpGrid() {
  vertexCount = kRows * kColumns;  // 1271
  indexCount = static_cast<int32_t>(kCells * 6);  // 7200
  g_device->CreateVertexBuffer(static_cast<UINT>(vertexCount) * sizeof(OverlayVertex), D3DUSAGE_WRITEONLY,
                               OVERLAY_FVF, D3DPOOL_MANAGED, &vertexBuffer);
  g_device->CreateIndexBuffer(static_cast<UINT>(indexCount) * sizeof(uint16_t), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                              D3DPOOL_MANAGED, &indexBuffer);

  const float w = static_cast<float>(currentTargetWidth());
  const float h = static_cast<float>(currentTargetHeight());
  BYTE* data = nullptr;
  if (vertexBuffer != nullptr && SUCCEEDED(vertexBuffer->Lock(0, 0, &data, 0))) {
    auto* vertex = reinterpret_cast<OverlayVertex*>(data);
    for (int r = 0; r < kRows; ++r) {
      for (int c = 0; c < kColumns; ++c) {
        *vertex++ = makeOverlayVertex(
            {w * static_cast<float>(c) * kColumnStep, h * static_cast<float>(r) * kRowStep, 0.0f}, 0xFFFFFFFF,
            0.0f, 0.0f);
      }
    }
    vertexBuffer->Unlock();
  }
  if (indexBuffer != nullptr && SUCCEEDED(indexBuffer->Lock(0, 0, &data, 0))) {
    auto* index = reinterpret_cast<uint16_t*>(data);
    for (int r = 0; r < kRows - 1; ++r) {
      for (int c = 0; c < kColumns - 1; ++c) {
        const auto a = static_cast<uint16_t>(r * kColumns + c);
        const uint16_t triangles[6] = {a, static_cast<uint16_t>(a + 42), static_cast<uint16_t>(a + 1),
                                       a, static_cast<uint16_t>(a + 41), static_cast<uint16_t>(a + 42)};
        for (uint16_t i : triangles) *index++ = i;
      }
    }
    indexBuffer->Unlock();
  }
}

// The per-column and per-row terms are computed once each: the same calls on the same arguments as
// per vertex, so the same floats.
void WarpGrid::animate(float time, uint32_t color) {
  BYTE* data = nullptr;
  if (vertexBuffer == nullptr || FAILED(vertexBuffer->Lock(0, 0, &data, 0))) return;
  const float t = time;
  const float centreX = (std::sin(t) + 1.0f) * 0.5f;
  const float centreY = (std::cos(1.3f * t) + 1.0f) * 0.5f;
  float columnX[kColumns], columnWave[kColumns];
  for (int c = 0; c < kColumns; ++c) {
    const float cx = static_cast<float>(c) * kColumnStep;
    columnX[c] = centreX - cx;
    columnWave[c] = std::sin(1.4f * cx + t);
  }

  auto* vertex = reinterpret_cast<OverlayVertex*>(data);
  for (int r = 0; r < kRows; ++r) {
    const float ry = static_cast<float>(r) * kRowStep;
    const float p = 5.2f * ry - 2.2f * t;
    const float q = 3.1f * ry - 1.6f * t;
    const float s = 4.2f * ry + 2.1f * t;
    const float cosP = std::cos(p);
    const float vWave = std::sin(s) + std::cos(q);
    const float dy = centreY - ry;
    for (int c = 0; c < kColumns; ++c, ++vertex) {
      const float dx = columnX[c];
      const float d = std::sqrt(dx * dx + dy * dy);
      vertex->u = d * std::sqrt(columnWave[c] * cosP + 1.0f);
      vertex->v = d * vWave;
      vertex->color = color;
    }
  }
  vertexBuffer->Unlock();
}

void WarpGrid::draw() {
  if (vertexBuffer == nullptr || indexBuffer == nullptr) return;
  g_device->SetStreamSource(0, vertexBuffer, sizeof(OverlayVertex));
  g_device->SetVertexShader(OVERLAY_FVF);
  g_device->SetIndices(indexBuffer, 0);
  setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  g_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertexCount), 0,
                                 static_cast<UINT>(indexCount / 3));
}

void WarpGrid::release() {
  if (indexBuffer != nullptr) indexBuffer->Release();
  indexBuffer = nullptr;
  if (vertexBuffer != nullptr) vertexBuffer->Release();
  vertexBuffer = nullptr;
}
