// Program-level smoke draw: a lit, textured box turned by a world rotation (indexed draw from vertex and
// index buffers, trilinear mip chain, back faces culled) and an additive burst of point sprites, drawn
// through the device and written to /tmp/raster_smoke.png for a person to look at. The assertions check
// what must hold in that picture: background untouched, lit faces brighter than the ambient floor, the
// burst adding light, and a second angle moving the box.
#include <atomic>
#include <cmath>

#include "compat/d3d8/band_workers.h"
#include "host/png_writer.h"
#include "raster_fixture.h"

namespace {

D3DMATRIX perspective(float fovY, float aspect, float zn, float zf) {
  D3DMATRIX m{};
  const float yScale = 1.0f / std::tan(fovY / 2.0f);
  m._11 = yScale / aspect;
  m._22 = yScale;
  m._33 = zf / (zf - zn);
  m._34 = 1.0f;
  m._43 = -zn * zf / (zf - zn);
  return m;
}

D3DMATRIX rotation(float yaw, float pitch) {
  const float cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch);
  D3DMATRIX y = identityMatrix(), x = identityMatrix();
  y._11 = cy, y._13 = -sy, y._31 = sy, y._33 = cy;
  x._22 = cp, x._23 = sp, x._32 = -sp, x._33 = cp;
  D3DMATRIX r{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      for (int k = 0; k < 4; ++k) r.m[i][j] += y.m[i][k] * x.m[k][j];
    }
  }
  return r;
}

class RasterSmoke : public RasterTest {
 protected:
  void SetUp() override {
    RasterTest::SetUp();
    // Box: six faces of four vertices, each face clockwise seen from outside (right = n x up).
    ASSERT_EQ(device_->CreateVertexBuffer(24 * sizeof(LitVertex), D3DUSAGE_WRITEONLY, 0x152, D3DPOOL_MANAGED, &box_), D3D_OK);
    ASSERT_EQ(device_->CreateIndexBuffer(36 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices_), D3D_OK);
    BYTE *vertexBytes = nullptr, *indexBytes = nullptr;
    box_->Lock(0, 0, &vertexBytes, 0);
    indices_->Lock(0, 0, &indexBytes, 0);
    auto* v = reinterpret_cast<LitVertex*>(vertexBytes);
    auto* index = reinterpret_cast<uint16_t*>(indexBytes);
    const float normals[6][3] = {{0, 0, -1}, {0, 0, 1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    const DWORD colors[6] = {0xFFFFFFFF, 0xFFFFC080, 0xFFC0FFC0, 0xFFC0C0FF, 0xFFFFFF80, 0xFF80FFFF};
    for (int f = 0; f < 6; ++f) {
      const float* n = normals[f];
      const float up[3] = {n[1] != 0 ? 0.0f : 0.0f, n[1] != 0 ? 0.0f : 1.0f, n[1] != 0 ? 1.0f : 0.0f};
      const float right[3] = {n[1] * up[2] - n[2] * up[1], n[2] * up[0] - n[0] * up[2], n[0] * up[1] - n[1] * up[0]};
      const float su[4] = {-1, 1, 1, -1}, sv[4] = {1, 1, -1, -1};
      for (int c = 0; c < 4; ++c) {
        LitVertex& out = v[f * 4 + c];
        out.x = n[0] + su[c] * right[0] + sv[c] * up[0];
        out.y = n[1] + su[c] * right[1] + sv[c] * up[1];
        out.z = n[2] + su[c] * right[2] + sv[c] * up[2];
        out.nx = n[0], out.ny = n[1], out.nz = n[2];
        out.color = colors[f];
        out.u = su[c] > 0 ? 2.0f : 0.0f;
        out.v = sv[c] > 0 ? 0.0f : 2.0f;
      }
      const uint16_t base = static_cast<uint16_t>(f * 4);
      const uint16_t face[6] = {base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2),
                                base, static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3)};
      for (int i = 0; i < 6; ++i) index[f * 6 + i] = face[i];
    }
    box_->Unlock();
    indices_->Unlock();

    // A 64 x 64 checker with a full chain, each level the box-filtered average of the one above.
    std::vector<std::vector<D3DCOLOR>> levels;
    std::vector<D3DCOLOR> level;
    for (UINT y = 0; y < 64; ++y) {
      for (UINT x = 0; x < 64; ++x) level.push_back(((x / 8 + y / 8) % 2) ? 0xFFE0E0E0 : 0xFF404880);
    }
    for (UINT size = 64; size >= 1; size /= 2) {
      levels.push_back(level);
      std::vector<D3DCOLOR> next;
      for (UINT y = 0; y < size / 2; ++y) {
        for (UINT x = 0; x < size / 2; ++x) {
          DWORD sum[4] = {0, 0, 0, 0};
          for (UINT k = 0; k < 4; ++k) {
            const D3DCOLOR t = level[(2 * y + k / 2) * size + 2 * x + k % 2];
            for (int c = 0; c < 4; ++c) sum[c] += (t >> (8 * c)) & 0xFF;
          }
          next.push_back(sum[0] / 4 | (sum[1] / 4) << 8 | (sum[2] / 4) << 16 | (sum[3] / 4) << 24);
        }
      }
      level = next;
    }
    checker_ = makeTexture(64, 64, D3DFMT_A8R8G8B8, levels);
    // A 32 x 32 soft disc for the sprites: white, alpha and brightness falling off from the centre.
    std::vector<D3DCOLOR> disc;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        const float d = std::hypot(x - 15.5f, y - 15.5f) / 16.0f;
        const DWORD c = static_cast<DWORD>(255.0f * std::fmax(0.0f, 1.0f - d) * std::fmax(0.0f, 1.0f - d));
        disc.push_back(D3DCOLOR_ARGB(c, c, c, c));
      }
    }
    disc_ = makeTexture(32, 32, D3DFMT_A8R8G8B8, {disc});
  }
  void TearDown() override {
    if (box_ != nullptr) box_->Release();
    if (indices_ != nullptr) indices_->Release();
    RasterTest::TearDown();
  }

  void drawScene(float angle) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF101828, 1.0f, 0);
    D3DMATRIX view = identityMatrix();
    view._43 = 5.0f;
    const D3DMATRIX projection = perspective(1.0471976f, 640.0f / 480.0f, 0.5f, 50.0f);
    const D3DMATRIX world = rotation(angle, 0.5f);
    device_->SetTransform(D3DTS_VIEW, &view);
    device_->SetTransform(D3DTS_PROJECTION, &projection);
    device_->SetTransform(D3DTS_WORLD, &world);

    // The box: lit, trilinear, back faces culled.
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device_->SetRenderState(D3DRS_LIGHTING, TRUE);
    device_->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    device_->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    D3DMATERIAL8 material{};
    material.Ambient = {0.12f, 0.12f, 0.12f, 1.0f};
    device_->SetMaterial(&material);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 0.95f, 0.85f, 1.0f};
    light.Direction = {0.5f, -0.6f, 0.6f};
    device_->SetLight(0, &light);
    device_->LightEnable(0, TRUE);
    device_->SetTexture(0, checker_);
    setFilters(0, D3DTEXF_LINEAR, D3DTEXF_LINEAR);
    device_->SetVertexShader(0x152);
    device_->SetStreamSource(0, box_, sizeof(LitVertex));
    device_->SetIndices(indices_, 0);
    ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 24, 0, 12), D3D_OK);

    // The burst: 300 additive sprites on a spiral shell around the box, depth-tested, not written.
    const D3DMATRIX identity = identityMatrix();
    device_->SetTransform(D3DTS_WORLD, &identity);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    device_->SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
    device_->SetRenderState(D3DRS_POINTSIZE, d3d8compat::floatAsState(0.06f));
    device_->SetRenderState(D3DRS_POINTSCALE_A, d3d8compat::floatAsState(0.0f));
    device_->SetRenderState(D3DRS_POINTSCALE_B, d3d8compat::floatAsState(0.0f));
    device_->SetRenderState(D3DRS_POINTSCALE_C, d3d8compat::floatAsState(0.6f));
    device_->SetTexture(0, disc_);
    setFilters(0, D3DTEXF_LINEAR);
    ColorVertex sparks[300];
    for (int i = 0; i < 300; ++i) {
      const float t = static_cast<float>(i) / 300.0f;
      const float theta = t * 40.0f, phi = std::acos(1.0f - 2.0f * t);
      const float radius = 2.2f + 0.4f * std::sin(t * 97.0f);
      sparks[i] = {radius * std::sin(phi) * std::cos(theta), radius * std::cos(phi), radius * std::sin(phi) * std::sin(theta),
                   i % 3 == 0 ? 0xFFFF8020u : (i % 3 == 1 ? 0xFFFFD040u : 0xFF60A0FFu)};
    }
    device_->SetVertexShader(0x042);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 300, sparks, sizeof(ColorVertex)), D3D_OK);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device_->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    device_->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
  }

  std::vector<uint32_t> frame() const {
    std::vector<uint32_t> pixels(640 * 480);
    for (UINT y = 0; y < 480; ++y) {
      for (UINT x = 0; x < 640; ++x) pixels[y * 640 + x] = pixel(x, y);
    }
    return pixels;
  }

  IDirect3DVertexBuffer8* box_ = nullptr;
  IDirect3DIndexBuffer8* indices_ = nullptr;
  IDirect3DTexture8* checker_ = nullptr;
  IDirect3DTexture8* disc_ = nullptr;
};

int brightness(D3DCOLOR c) { return channel(c, 0) + channel(c, 1) + channel(c, 2); }

TEST_F(RasterSmoke, LitBoxAndSpriteBurst) {
  drawScene(0.7f);
  const std::vector<uint32_t> first = frame();
  ASSERT_TRUE(host::writePng("/tmp/raster_smoke.png", first.data(), 640, 480));
  EXPECT_EQ(pixel(2, 2), 0xFF101828u);                 // corner: background only
  EXPECT_GT(brightness(pixel(320, 240)), 3 * 40);     // the box's centre is lit well above ambient
  int brighterThanBackground = 0, box = 0;
  for (uint32_t p : first) {
    if (p != 0xFF101828u) ++brighterThanBackground;
    if (brightness(p) > 200) ++box;
  }
  EXPECT_GT(brighterThanBackground, 640 * 480 / 10);   // box plus sprites cover a good part of the frame
  EXPECT_GT(box, 1000);
  drawScene(1.4f);
  int changed = 0;
  const std::vector<uint32_t> second = frame();
  for (size_t i = 0; i < second.size(); ++i) changed += second[i] != first[i] ? 1 : 0;
  EXPECT_GT(changed, 1000);  // the box turned
}

// Splitting rows over any number of threads changes nothing in the picture: same bytes as one thread.
TEST_F(RasterSmoke, AnyNumberOfThreadsDrawsTheSamePicture) {
  const int machine = d3d8compat::rasterThreads();
  d3d8compat::setRasterThreads(1);
  drawScene(0.3f);
  const std::vector<uint32_t> single = frame();
  for (int threads : {2, 3, 8}) {
    d3d8compat::setRasterThreads(threads);
    EXPECT_EQ(d3d8compat::rasterThreads(), threads);
    drawScene(0.3f);
    EXPECT_TRUE(frame() == single) << threads << " threads";
  }
  d3d8compat::setRasterThreads(machine);
}

// Stripe k of 16 rows goes to band k mod N: every row to exactly one band, and each band holds its
// share of a screen's rows.
TEST(RasterBands, EveryRowBelongsToExactlyOneBand) {
  for (int bands : {1, 2, 3, 8}) {
    std::vector<int> rowsPerBand(bands, 0);
    for (int y = 0; y < 480; ++y) {
      int owners = 0;
      for (int band = 0; band < bands; ++band) {
        if (d3d8compat::rowInBand(y, band, bands)) ++owners, ++rowsPerBand[band];
      }
      EXPECT_EQ(owners, 1) << "row " << y << ", " << bands << " bands";
    }
    const auto [fewest, most] = std::minmax_element(rowsPerBand.begin(), rowsPerBand.end());
    EXPECT_LE(*most - *fewest, 16) << bands << " bands";
  }
}

// Threads claim bands as they come: whatever the threads, every band of every call is drawn exactly
// once, and the call returns only when all are drawn.
TEST(RasterBands, EveryBandIsDrawnOnceWhateverTheThreads) {
  struct Counts {
    std::atomic<int> drawn[8];
  };
  for (int threads : {1, 2, 3, 8}) {
    for (int bands : {1, 2, 5, 8}) {
      for (int call = 0; call < 200; ++call) {
        Counts counts;
        for (auto& c : counts.drawn) c = 0;
        d3d8compat::runBands([](void* context, int band) { ++static_cast<Counts*>(context)->drawn[band]; }, &counts,
                             bands, threads);
        for (int band = 0; band < 8; ++band) {
          ASSERT_EQ(counts.drawn[band].load(), band < bands ? 1 : 0)
              << "band " << band << " of " << bands << ", " << threads << " threads, call " << call;
        }
      }
    }
  }
}

TEST(RasterBands, ThreadsAreClampedFrom1To8) {
  const int machine = d3d8compat::rasterThreads();
  d3d8compat::setRasterThreads(100);
  EXPECT_EQ(d3d8compat::rasterThreads(), d3d8compat::kMaxThreads);
  d3d8compat::setRasterThreads(0);
  EXPECT_EQ(d3d8compat::rasterThreads(), 1);
  d3d8compat::setRasterThreads(machine);
}

}  // namespace
