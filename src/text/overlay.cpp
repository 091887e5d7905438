#include "text/overlay.h"

#include "platform/graphics.h"

OverlayVertex makeOverlayVertex(Vec3 position, uint32_t color, float u, float v) {
  return {position.x, position.y, position.z, 1.0f, color, u, v};
}

void drawScreenQuad(float x0, float y0, float x1, float y1, uint32_t color) {
  const float w = static_cast<float>(currentTargetWidth());
  const float h = static_cast<float>(currentTargetHeight());
  const OverlayVertex corners[4] = {
      makeOverlayVertex({w * x0, h * y0, 0.0f}, color, 0.0f, 0.0f),
      makeOverlayVertex({w * x1, h * y0, 0.0f}, color, 1.0f, 0.0f),
      makeOverlayVertex({w * x1, h * y1, 0.0f}, color, 1.0f, 1.0f),
      makeOverlayVertex({w * x0, h * y1, 0.0f}, color, 0.0f, 1.0f),
  };
  g_device->SetVertexShader(OVERLAY_FVF);
  g_device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, corners, sizeof(OverlayVertex));
}
