// Whole pictures through the real atlas (DejaVu Sans), written as PNGs to look at (into
// $TMPDIR/brannik-text-pngs) and checked for what each must show: a centred three-line card, the opening
// card, the four banner lines inside a 256 x 256 render-target texture, and the warp grid over the ERMO
// texture at 0 and 3 seconds with the scroller's states.
#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "archive/fourcc.h"
#include "engine3d/presets.h"
#include "host/png_writer.h"
#include "texgen/generator.h"
#include "texgen/texture_table.h"
#include "text/text.h"
#include "text/warp_grid.h"
#include "text_fixture.h"

namespace {

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive
  int count = 0;
  void add(int x, int y) {
    left = std::min(left, x);
    right = std::max(right, x);
    top = std::min(top, y);
    bottom = std::max(bottom, y);
    ++count;
  }
};

// The pixels whose colour passes `test`, and their bounding box.
template <class Test>
Box find(const std::vector<uint32_t>& pixels, int width, Test test) {
  Box box;
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (test(pixels[i] & 0x00FFFFFF)) box.add(static_cast<int>(i) % width, static_cast<int>(i) / width);
  }
  return box;
}

bool isWhite(uint32_t c) { return c == 0x00FFFFFF; }
bool isMagenta(uint32_t c) { return c == 0x00FF00FF; }
bool lit(uint32_t c) { return c != 0; }

class TextPicturesTest : public TextTest {
 protected:
  void SetUp() override {
    TextTest::SetUp();
    directory_ = testing::TempDir() + "brannik-text-pngs/";
    std::filesystem::create_directories(directory_);
    ASSERT_EQ(g_font.build(), 0);
  }
  void save(const char* name, const std::vector<uint32_t>& pixels, int width, int height) {
    EXPECT_TRUE(host::writePng(directory_ + name, pixels.data(), width, height)) << name;
  }
  std::vector<uint32_t> presentedFrame(const char* name) {
    endFrame();
    save(name, presented_.frame, 640, 480);
    return presented_.frame;
  }

  std::string directory_;
};

TEST_F(TextPicturesTest, CentredThreeLineCardIsOneLeftAlignedBlock) {
  beginFrame(0);
  drawTextCard("ZAQ regretfully\npresents\nbrannik", 0.5f, 0.3f, 1.0f, 0xFFFFFFFF, true, true);
  const std::vector<uint32_t> frame = presentedFrame("card_three_lines.png");
  const Box white = find(frame, 640, isWhite);
  const Box outline = find(frame, 640, isMagenta);
  ASSERT_GT(white.count, 1000);
  ASSERT_GT(outline.count, 1000);
  // Three lines of 38.4 pixels from 0.3 x 480 - 0.6 x 38.4 = 121 down.
  EXPECT_NEAR(white.top, 125, 6);
  EXPECT_NEAR(white.bottom, 121 + 3 * 38.4, 10);
  EXPECT_NEAR((white.left + white.right) / 2.0, 320.0, 4.0);
  // Every line starts at the block's left edge: 'Z', 'p' and 'b' all begin near it.
  for (int line = 0; line < 3; ++line) {
    const int top = 121 + static_cast<int>(line * 38.4), bottom = top + 38;
    std::vector<uint32_t> band(frame.begin() + top * 640, frame.begin() + bottom * 640);
    EXPECT_NEAR(find(band, 640, isWhite).left, white.left, 6) << "line " << line;
  }
}

TEST_F(TextPicturesTest, OpeningCardSitsCentredAt80PercentOfTheScreen) {
  beginFrame(0);
  drawTextCard("ZAQ regretfully presents brannik in", 0.5f, 0.8f, 1.0f, 0xFFFFFFFF, true, true);
  const std::vector<uint32_t> frame = presentedFrame("opening_card.png");
  const Box white = find(frame, 640, isWhite);
  const Box all = find(frame, 640, lit);
  ASSERT_GT(white.count, 1000);
  // The line's top is 0.8 x 480 - 0.5 - 0.6 x 38.4 = 360.5; the outline reaches 2.9 pixels further.
  EXPECT_GE(all.top, 355);
  EXPECT_LE(all.bottom, 405);
  EXPECT_NEAR((white.left + white.right) / 2.0, 320.0, 4.0);
  EXPECT_NEAR((all.left + all.right) / 2.0, 320.0, 4.0);
  EXPECT_GT(find(frame, 640, isMagenta).count, 500);
}

TEST_F(TextPicturesTest, BannerLinesFitA256By256RenderTarget) {
  IDirect3DTexture8* target = nullptr;
  ASSERT_EQ(g_device->CreateTexture(256, 256, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &target),
            D3D_OK);
  IDirect3DSurface8 *surface = nullptr, *backBuffer = nullptr, *depth = nullptr;
  target->GetSurfaceLevel(0, &surface);
  g_device->GetRenderTarget(&backBuffer);
  g_device->GetDepthStencilSurface(&depth);
  ASSERT_EQ(g_device->SetRenderTarget(surface, depth), D3D_OK);
  g_renderingToTexture = true;

  beginFrame(0);
  const std::string banner = [] {
    std::string text;
    for (int i = 0; i < 24; ++i) text += "ZAQ";
    return text;
  }();
  const float rows[4] = {0.2f, 0.4f, 0.6f, 0.8f};
  const uint32_t colors[4] = {0xFFFF2020, 0xFF20FF20, 0xFF2020FF, 0xFFFF20FF};
  for (int line = 0; line < 4; ++line) drawTextCard(banner.c_str(), 0.5f, rows[line], 3.0f, colors[line], true, false);
  std::vector<uint32_t> pixels(256 * 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) pixels[static_cast<size_t>(y * 256 + x)] = targetPixel(x, y);
  }
  endFrame();
  save("banners_256.png", pixels, 256, 256);

  g_device->SetRenderTarget(backBuffer, depth);
  g_renderingToTexture = false;
  surface->Release();
  backBuffer->Release();
  depth->Release();
  target->Release();

  // Each line is 0.24 x 256 = 61 pixels high, drawn over the one above; the 72 glyphs run far past both
  // edges. The last line (magenta) is whole at the bottom, the first (red) shows at the top.
  const auto strongest = [](uint32_t c, int channel) { return static_cast<int>((c >> (8 * channel)) & 0xFF); };
  const Box red = find(pixels, 256, [&](uint32_t c) { return strongest(c, 2) > 200 && strongest(c, 0) < 64; });
  const Box green = find(pixels, 256, [&](uint32_t c) { return strongest(c, 1) > 200; });
  const Box blue = find(pixels, 256, [&](uint32_t c) { return strongest(c, 0) > 200 && strongest(c, 2) < 64; });
  const Box magenta = find(pixels, 256, [&](uint32_t c) { return strongest(c, 2) > 200 && strongest(c, 0) > 200; });
  for (const Box* box : {&red, &green, &blue, &magenta}) {
    EXPECT_GT(box->count, 500);
    EXPECT_LE(box->left, 2);
    EXPECT_GE(box->right, 253);
  }
  // The lines' tops are 0.2 x 256 = 51.2 pixels apart.
  EXPECT_NEAR(green.top - red.top, 51.2, 1.5);
  EXPECT_NEAR(blue.top - green.top, 51.2, 1.5);
  EXPECT_NEAR(magenta.top - blue.top, 51.2, 1.5);
}

TEST_F(TextPicturesTest, WarpGridOverErmoWithTheScrollerStates) {
  buildCosineTable();
  loadArchive(g_archiveBlob, g_archiveBlobSize);
  buildTextureTable();
  IDirect3DTexture8* ermo = findTexture(makeFourCC('E', 'R', 'M', 'O'));
  ASSERT_NE(ermo, nullptr);
  WarpGrid grid;

  std::vector<uint32_t> frames[2];
  const float times[2] = {0.0f, 3.0f};
  const char* names[2] = {"warp_grid_t0.png", "warp_grid_t3.png"};
  for (int i = 0; i < 2; ++i) {
    beginFrame(0);
    setDefaultTextureStages();  // stage 0: texture x diffuse, alpha from the texture
    begin2D();                  // lighting, depth and culling off
    g_device->SetTexture(0, ermo);
    grid.animate(times[i], 0x00FF00FF);
    grid.draw();
    g_device->SetTexture(0, nullptr);
    frames[i] = presentedFrame(names[i]);
  }
  grid.release();
  releaseTextureTable();

  for (const std::vector<uint32_t>& frame : frames) {
    // Green is modulated away; the texture's red and blue vary over the whole screen.
    std::set<uint32_t> colours;
    for (uint32_t p : frame) {
      ASSERT_EQ(p & 0x0000FF00, 0u);
      colours.insert(p & 0x00FFFFFF);
    }
    EXPECT_GT(colours.size(), 100u);
    EXPECT_GT(find(frame, 640, lit).count, 640 * 480 / 2);
  }
  EXPECT_NE(frames[0], frames[1]);
}

}  // namespace
