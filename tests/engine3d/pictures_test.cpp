// Whole pictures through the engine, drawn as the scenes draw them with the program's own textures, and
// written as PNG files to /tmp/brannik-engine-pngs for a look: the pulsing box at three times, the
// tunnel solid and as points, the sprite helix, and a picture through the feedback blur. Each picture
// is also checked for what it must show.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "director/scenes.h"
#include "engine3d/camera.h"
#include "engine3d/mesh.h"
#include "engine3d/presets.h"
#include "engine3d/sprite_batch.h"
#include "engine_fixture.h"
#include "host/png_writer.h"
#include "texgen/generator.h"
#include "texgen/texture_table.h"
#include "text/overlay.h"

namespace {

const char* const kOutputDir = "/tmp/brannik-engine-pngs";

class PicturesTest : public EngineDeviceTest {
 protected:
  static void SetUpTestSuite() {
    buildCosineTable();
    loadArchive(g_archiveBlob, g_archiveBlobSize);
  }
  void SetUp() override {
    EngineDeviceTest::SetUp();
    buildTextureTable();
    setMaterialAmbient(0x00080808);
    setRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    setDefaultTextureStages();
    std::filesystem::create_directories(kOutputDir);
    beginFrame(0);
  }
  void TearDown() override {
    g_device->EndScene();
    releaseTextureTable();
    EngineDeviceTest::TearDown();
  }

  static IDirect3DTexture8* texture(const char* key) {
    return findTexture(makeFourCC(key[0], key[1], key[2], key[3]));
  }

  // Writes the surface and returns its pixels.
  static std::vector<uint32_t> save(const d3d8compat::Surface& surface, const std::string& name) {
    const std::vector<uint32_t> picture = pixels(surface);
    EXPECT_TRUE(host::writePng(std::string(kOutputDir) + "/" + name, picture.data(),
                               static_cast<int>(surface.width()), static_cast<int>(surface.height())));
    return picture;
  }
  static const d3d8compat::Surface& backBuffer() { return *state().backBuffer; }

  static int countDifferent(const std::vector<uint32_t>& picture, uint32_t background) {
    int count = 0;
    for (uint32_t p : picture) count += (p & 0xFFFFFF) != (background & 0xFFFFFF) ? 1 : 0;
    return count;
  }
  static int brightness(uint32_t p) { return static_cast<int>((p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF)); }

  void drawBox(Mesh& box, float t) {
    Camera camera;
    camera.eye = {0.0f, 0.0f, -2.5f};
    camera.target = {0.0f, 0.0f, 0.0f};
    camera.apply();
    setRenderState(D3DRS_LIGHTING, FALSE);
    setRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    g_device->SetTexture(0, texture("AUMT"));
    Matrix4 world, scale;
    world.setRotationYXZ(-t, 1.7f * t, 2.6f * sinOf(-0.85f * t));
    scale.setScale(2.0f, 2.0f, 2.0f);
    world.postMultiply(scale);
    world.m[12] = sinOf(3.2f * t);
    world.m[13] = -cosOf(2.3f * t);
    world.m[14] = 0.0f;
    setWorldMatrix(world);
    box.restoreVertices();
    box.pulsate(t);
    setRenderState(D3DRS_ZENABLE, TRUE);
    setRenderState(D3DRS_WRAP0, D3DWRAP_U);
    box.uploadVertices();
    box.draw();
    setRenderState(D3DRS_WRAP0, 0);
  }

  // The tunnel at time t, solid and lit or as point sprites, then its dust.
  void drawTunnel(float t, bool points) {
    Mesh tube;
    tube.buildTube(40, 40);
    SpriteBatch sprites;
    Camera camera;
    tube.shapeTunnel(t, camera.eye, camera.direction, 40, 40, 1.0f, sprites);
    tube.computeNormals();
    tube.uploadVertices();
    tube.uploadIndices();
    Matrix4 identity;
    identity.setUniformScale(1.0f);
    setWorldMatrix(identity);
    camera.target = camera.eye + camera.direction;
    camera.apply();
    g_device->SetTexture(0, texture("AUMT"));
    if (points) {
      setRenderState(D3DRS_LIGHTING, FALSE);
      beginPointSprites(0.6f, 0.06f);
      tube.drawPoints();
      endPointSprites();
    } else {
      setDirectionalLight(0, Vec3{cosOf(1.6f * t), 1.0f, 1.0f}.normalized(), 0x00FFC050);
      setDirectionalLight(1, Vec3{sinOf(t), -1.0f, -1.0f}.normalized(), 0x0050C0FF);
      setRenderState(D3DRS_LIGHTING, TRUE);
      setRenderState(D3DRS_WRAP0, D3DWRAP_U);
      setRenderState(D3DRS_CULLMODE, D3DCULL_CW);
      tube.draw();
      setRenderState(D3DRS_WRAP0, 0);
    }
    setRenderState(D3DRS_LIGHTING, FALSE);
    g_device->SetTexture(0, texture("FLAR"));
    setRenderState(D3DRS_ZENABLE, FALSE);
    setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    setAdditiveBlend();
    sprites.flush();
    setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    setRenderState(D3DRS_ZENABLE, TRUE);
  }
};

}  // namespace

TEST_F(PicturesTest, PulsingBoxAtThreeTimes) {
  Mesh box;
  box.buildBox(10);
  const float times[3] = {0.0f, 1.3f, 2.9f};
  for (float t : times) {
    g_device->Clear(0, nullptr, frameClearFlags(), 0xFF000000, 1.0f, 0);
    drawBox(box, t);
    const std::vector<uint32_t> picture = save(backBuffer(), "box_t" + std::to_string(static_cast<int>(t * 10)) + ".png");
    // The blob covers a good part of the screen but not all of it.
    const int covered = countDifferent(picture, 0);
    EXPECT_GT(covered, 640 * 480 / 20) << "t = " << t;
    EXPECT_LT(covered, 640 * 480) << "t = " << t;
  }
}

TEST_F(PicturesTest, TunnelSolidAndAsPoints) {
  drawTunnel(0.6f, false);
  const std::vector<uint32_t> solid = save(backBuffer(), "tunnel_solid.png");
  // Inside the tunnel the wall fills the view.
  EXPECT_GT(countDifferent(solid, 0), 640 * 480 * 9 / 10);

  g_device->Clear(0, nullptr, frameClearFlags(), 0xFF000000, 1.0f, 0);
  drawTunnel(0.6f, true);
  const std::vector<uint32_t> points = save(backBuffer(), "tunnel_points.png");
  const int lit = countDifferent(points, 0);
  EXPECT_GT(lit, 640 * 480 / 20);
  EXPECT_LT(lit, countDifferent(solid, 0));
}

TEST_F(PicturesTest, SpriteHelixIntoTheFeedbackTarget) {
  const float t = 1.7f;
  beginFeedbackFrame();
  Camera camera;
  camera.eye = {0.0f, 0.0f, -2.5f};
  camera.target = {0.0f, 0.0f, 0.0f};
  camera.apply();
  g_device->SetTexture(0, texture("FLAR"));
  setRenderState(D3DRS_LIGHTING, FALSE);
  setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  setAdditiveBlend();
  Matrix4 identity;
  identity.setUniformScale(1.0f);
  setWorldMatrix(identity);
  SpriteBatch sprites;
  fillHelix(sprites, t);
  sprites.flush();
  setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  const std::vector<uint32_t> helix = save(*levelZero(feedbackTarget(0)), "helix.png");
  EXPECT_GT(countDifferent(helix, 0), 256 * 256 / 10);
  restoreRenderTarget();
}

TEST_F(PicturesTest, PictureThroughTheFeedbackBlur) {
  beginFeedbackFrame();
  g_device->SetTexture(0, texture("AUMT"));
  setRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  setRenderState(D3DRS_LIGHTING, FALSE);
  setRenderState(D3DRS_ZENABLE, FALSE);
  drawScreenQuad(0.3f, 0.3f, 0.7f, 0.7f, 0xFFFFFFFF);
  const std::vector<uint32_t> source = save(*levelZero(feedbackTarget(0)), "feedback_source.png");
  applyFeedbackBlur(6, 1, 0.4f, 0.5f, 0.5f, 0.3f);
  const std::vector<uint32_t> blurred = save(backBuffer(), "feedback_blur.png");
  // The picture sat in the middle fifth of the target; the smear carries light well outside it, and
  // the centre of the screen is lit.
  EXPECT_EQ(countDifferent(source, 0) <= 103 * 103 + 500, true);
  int outside = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const bool inPicture = x >= 192 && x < 448 && y >= 144 && y < 336;
      if (!inPicture && brightness(blurred[y * 640 + x]) > 30) ++outside;
    }
  }
  EXPECT_GT(outside, 10000);
  EXPECT_GT(brightness(blurred[240 * 640 + 320]), 60);
}
