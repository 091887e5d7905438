#include <cmath>

#include "archive/fourcc.h"
#include "engine3d/matrix4.h"
#include "director/scenes.h"
#include "engine3d/feedback.h"
#include "engine3d/matrix4.h"
#include "engine3d/presets.h"
#include "platform/graphics.h"
#include "text/overlay.h"
#include "texgen/texture_table.h"

namespace {

constexpr float kQuarterTurn = 1.5707964f;

Matrix4 identity() {
  Matrix4 m;
  m.setUniformScale(1.0f);
  return m;
}

}  // namespace

void drawBoxScene(const FrameSync& sync, SceneObjects& objects) {
  const float t = sync.time;
  IDirect3DTexture8* aumt = findTexture(makeFourCC('A', 'U', 'M', 'T'));
  setDefaultTextureStages();
  begin2D();
  g_device->SetTexture(0, aumt);
  objects.warpGrid->animate(t, 0x00181818);
  objects.warpGrid->draw();
  end2D();

  beginFeedbackFrame();
  const float a = sinOf(3.2f * t);
  const float b = cosOf(2.3f * t);

  Camera& camera = *objects.camera;
  camera.target = {0.0f, 0.0f, 0.0f};
  // The second run (orders 74 to 89) sees the box from four times as far.
  camera.eye = {0.0f, 0.0f, sync.order < 40 ? -2.5f : -10.5f};
  camera.apply();
  camera.fov = kQuarterTurn;

  setRenderState(D3DRS_LIGHTING, FALSE);
  setRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  g_device->SetTexture(0, aumt);

  Matrix4 world;
  world.setRotationYXZ(-t, 1.7f * t, 2.6f * sinOf(-0.85f * t));
  Matrix4 scale;
  scale.setScale(2.0f, 2.0f, 2.0f);
  world.postMultiply(scale);
  world.m[12] = a;
  world.m[13] = -b;
  world.m[14] = 0.0f;
  setWorldMatrix(world);

  Mesh& box = *objects.boxMesh;
  box.restoreVertices();
  box.pulsate(t);

  setRenderState(D3DRS_ZENABLE, TRUE);
  setRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  setWorldMatrix(world);
  setRenderState(D3DRS_WRAP0, D3DWRAP_U);
  box.uploadVertices();
  box.uploadIndices();
  box.draw();
  setRenderState(D3DRS_WRAP0, 0);

  const float c = cosOf(t);
  IDirect3DTexture8* result =
      applyFeedbackBlur(5, 0, std::fabs(0.6f * tanOf(3.0f * t)) + 0.2f, 0.3f * sinOf(3.0f * t) + 0.5f,
                        0.3f * (cosOf(2.23f * t) + 1.0f) + 0.5f, c * c * c);

  g_device->SetTexture(0, result);
  setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  setAdditiveBlend();
  setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  setRenderState(D3DRS_WRAP0, 0);
  drawScreenQuad(1.0f, 1.0f, 0.0f, 0.0f, 0xFFFFFFFF);  // turned by 180 degrees
  drawScreenQuad(0.0f, 1.0f, 1.0f, 0.0f, 0xFFFFFFFF);  // upside down
  setRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}

void drawTunnelScene(const FrameSync& sync, SceneObjects& objects) {
  const float t = sync.time;
  Camera& camera = *objects.camera;
  Mesh& tunnel = *objects.tunnelMesh;
  tunnel.shapeTunnel(t, camera.eye, camera.direction, 40, 40, 1.0f, *objects.sprites);
  tunnel.computeNormals();
  tunnel.uploadVertices();
  tunnel.uploadIndices();

  setWorldMatrix(identity());
  camera.target = camera.eye + camera.direction;
  camera.fov = kQuarterTurn;
  camera.apply();
  setWorldMatrix(identity());

  IDirect3DTexture8* aumt = findTexture(makeFourCC('A', 'U', 'M', 'T'));
  if ((sync.row & 4) != 0) {
    // Points: the tunnel's vertices as sprites.
    setRenderState(D3DRS_LIGHTING, FALSE);
    g_device->SetTexture(0, aumt);
    beginPointSprites(0.6f, 0.06f);
    tunnel.drawPoints();
    endPointSprites();
  } else {
    // Solid: a warm orange and a light blue light.
    setDirectionalLight(0, Vec3{cosOf(1.6f * t), 1.0f, 1.0f}.normalized(), 0x00FFC050);
    setDirectionalLight(1, Vec3{sinOf(t), -1.0f, -1.0f}.normalized(), 0x0050C0FF);
    setRenderState(D3DRS_LIGHTING, TRUE);
    setRenderState(D3DRS_WRAP0, D3DWRAP_U);
    setRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    g_device->SetTexture(0, aumt);
    tunnel.draw();
    setRenderState(D3DRS_WRAP0, 0);
  }

  setRenderState(D3DRS_LIGHTING, FALSE);
  g_device->SetTexture(0, findTexture(makeFourCC('F', 'L', 'A', 'R')));
  setRenderState(D3DRS_ZENABLE, FALSE);
  setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  setAdditiveBlend();
  objects.sprites->flush();
  setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  setRenderState(D3DRS_ZENABLE, TRUE);
}

// A twisted band around the vertical axis: each turn advances 20 sprites, y climbs from -0.5 r to
// about 2 r, and the whole band drifts on three sine waves.
void fillHelix(SpriteBatch& sprites, float t) {
  const float drift[3] = {sinOf(2.0f * t), sinOf(2.56f * t), sinOf(3.1415927f * t)};
  for (int i = 0; i < 500; ++i) {
    const float f = static_cast<float>(i);
    const float r = sinOf(0.3f * f + 3.0f * t) + 1.3f;
    const float a = 0.31415927f * f;
    const float b = 0.005f * f;
    const Vec3 position{r * sinOf(t + a) + drift[0], r * (b - 0.5f) + drift[1], r * cosOf(t - a) + drift[2]};
    sprites.addRgb(position, 0.5f * a, 0.5f * b, 0.5f * r);
  }
}

void drawHelixScene(const FrameSync& sync, SceneObjects& objects) {
  const float t = sync.time;
  beginFeedbackFrame();
  setDefaultTextureStages();
  begin2D();
  g_device->SetTexture(0, findTexture(makeFourCC('K', 'L', 'I', 'B')));
  objects.warpGrid->animate(t, 0x009F9F9F);
  objects.warpGrid->draw();
  end2D();

  Camera& camera = *objects.camera;
  camera.target = {0.0f, 0.0f, 0.0f};
  camera.eye = {0.0f, 0.0f, -2.5f};
  camera.apply();
  camera.fov = kQuarterTurn;

  g_device->SetTexture(0, findTexture(makeFourCC('F', 'L', 'A', 'R')));
  setRenderState(D3DRS_LIGHTING, FALSE);
  setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  setAdditiveBlend();
  setWorldMatrix(identity());

  fillHelix(*objects.sprites, t);
  objects.sprites->flush();
  setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);

  applyFeedbackBlur(5, 0, 0.1f, 0.5f, 0.5f, 0.2f * sinOf(t));
}
