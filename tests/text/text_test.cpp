// drawString and drawTextCard on the 640 x 480 device with a hand-made glyph table (space 16 x 32, 'A'
// 16 x 32, 'B' 24 x 32 atlas pixels). With glyphWidth = glyphHeight = 0.1: line height 48, k = 1/32,
// sx = sy = 1.5, so 'A' is 24 x 48 pixels and 'B' 36 x 48; the pen starts at (320 - 0.5, 240 - 0.5 -
// 28.8) for (0.5, 0.5). Every expected position below follows from these.
#include <string>

#include "compat/d3d8/texture.h"
#include "text/text.h"
#include "text_fixture.h"

namespace {

class DrawStringTest : public TextTest {
 protected:
  void SetUp() override {
    TextTest::SetUp();
    buildWithHandMadeGlyphs();
    beginFrame(0);
  }
  void TearDown() override {
    endFrame();
    TextTest::TearDown();
  }

  void draw(const char* text, bool centred = false, float spacing = 0.0f) {
    drawString(0.5f, 0.5f, 3.0f, 0.1f, 0.1f, spacing, 0xFF112233, text, centred);
  }
  // Top-left corner of quad `q` of draw `d` (its second vertex).
  static void expectQuadAt(const RecordedDraw& d, int q, float x, float y, float w, float h) {
    const OverlayVertex* v = &d.vertices[static_cast<size_t>(q) * 6];
    EXPECT_NEAR(v[1].x, x, 1e-3f) << "quad " << q;
    EXPECT_NEAR(v[1].y, y, 1e-3f) << "quad " << q;
    EXPECT_NEAR(v[3].x - v[1].x, w, 1e-3f) << "quad " << q;
    EXPECT_NEAR(v[0].y - v[1].y, h, 1e-3f) << "quad " << q;
  }
};

constexpr float kPenX = 319.5f;
constexpr float kPenY = 210.7f;  // 240 - 0.5 - 0.6 x 48

TEST_F(DrawStringTest, OneGlyphIsTwoTrianglesFromThePenWithItsAtlasCorners) {
  draw("A");
  ASSERT_EQ(draws_.size(), 1u);
  const RecordedDraw& d = draws_[0];
  EXPECT_EQ(d.type, D3DPT_TRIANGLELIST);
  EXPECT_EQ(d.primitives, 2u);
  const float l = 32 / 512.0f, r = 48 / 512.0f, b = 32 / 512.0f;
  const float expected[6][4] = {{kPenX, kPenY + 48, l, b},      {kPenX, kPenY, l, 0},
                                {kPenX + 24, kPenY + 48, r, b}, {kPenX + 24, kPenY, r, 0},
                                {kPenX + 24, kPenY + 48, r, b}, {kPenX, kPenY, l, 0}};
  for (int i = 0; i < 6; ++i) {
    const OverlayVertex& v = d.vertices[static_cast<size_t>(i)];
    EXPECT_NEAR(v.x, expected[i][0], 1e-3f) << i;
    EXPECT_NEAR(v.y, expected[i][1], 1e-3f) << i;
    EXPECT_EQ(v.u, expected[i][2]) << i;
    EXPECT_EQ(v.v, expected[i][3]) << i;
    EXPECT_EQ(v.z, 3.0f);
    EXPECT_EQ(v.rhw, 1.0f);
    EXPECT_EQ(v.color, 0xFF112233u);
  }
}

TEST_F(DrawStringTest, NewlinesGoBackToTheLineStartOneLineHeightDown) {
  draw("AB\nA");
  ASSERT_EQ(draws_.size(), 1u);
  expectQuadAt(draws_[0], 0, kPenX, kPenY, 24, 48);
  expectQuadAt(draws_[0], 1, kPenX + 24, kPenY, 36, 48);
  expectQuadAt(draws_[0], 2, kPenX, kPenY + 48, 24, 48);
}

// The widest line is 24 + 36 = 60 pixels: every line starts 30 pixels left of the pen, the short one
// too, whichever comes first.
TEST_F(DrawStringTest, CentredTextIsOneBlockCentredByItsWidestLine) {
  draw("AB\nA", true);
  draw("A\nAB", true);
  ASSERT_EQ(draws_.size(), 2u);
  expectQuadAt(draws_[0], 0, kPenX - 30, kPenY, 24, 48);
  expectQuadAt(draws_[0], 1, kPenX - 6, kPenY, 36, 48);
  expectQuadAt(draws_[0], 2, kPenX - 30, kPenY + 48, 24, 48);
  expectQuadAt(draws_[1], 0, kPenX - 30, kPenY, 24, 48);
  expectQuadAt(draws_[1], 1, kPenX - 30, kPenY + 48, 24, 48);
}

// Spacing 0.5 adds 640 x 0.1 x 0.5 = 32 pixels after every glyph, also to the measured width.
TEST_F(DrawStringTest, SpacingAddsToEveryAdvanceAndToTheMeasuredWidth) {
  draw("AA", false, 0.5f);
  draw("AA", true, 0.5f);
  ASSERT_EQ(draws_.size(), 2u);
  expectQuadAt(draws_[0], 1, kPenX + 24 + 32, kPenY, 24, 48);
  expectQuadAt(draws_[1], 0, kPenX - 56, kPenY, 24, 48);
}

TEST_F(DrawStringTest, FiftyGlyphsFillOneBatchAndTheFiftyFirstStartsAnother) {
  draw(std::string(50, 'A').c_str());
  ASSERT_EQ(draws_.size(), 1u);
  EXPECT_EQ(draws_[0].primitives, 100u);
  draws_.clear();
  draw(std::string(51, 'A').c_str());
  ASSERT_EQ(draws_.size(), 2u);
  EXPECT_EQ(draws_[0].primitives, 100u);
  EXPECT_EQ(draws_[1].primitives, 2u);
  expectQuadAt(draws_[1], 0, kPenX + 50 * 24, kPenY, 24, 48);  // the pen carries on
}

// Controls and every code from 128 are skipped without advancing; 127 has an empty rectangle and
// draws as an empty quad.
TEST_F(DrawStringTest, BytesBelow32AsSignedBytesAreSkipped) {
  draw("A\x01\t\x80\xFF" "A\x7F");
  ASSERT_EQ(draws_.size(), 1u);
  EXPECT_EQ(draws_[0].primitives, 6u);
  expectQuadAt(draws_[0], 1, kPenX + 24, kPenY, 24, 48);
  expectQuadAt(draws_[0], 2, kPenX + 48, kPenY, 0, 0);
}

TEST_F(DrawStringTest, CallersStatesComeBackAndTheTextStatesHoldDuringTheDraw) {
  IDirect3DTexture8* callers = nullptr;
  ASSERT_EQ(g_device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &callers), D3D_OK);
  g_device->SetTexture(0, callers);
  const std::pair<D3DRENDERSTATETYPE, DWORD> renderStates[] = {
      {D3DRS_ALPHABLENDENABLE, FALSE}, {D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_ONE},
      {D3DRS_CULLMODE, D3DCULL_CW},    {D3DRS_ZENABLE, TRUE},          {D3DRS_FOGENABLE, TRUE}};
  const std::pair<D3DTEXTURESTAGESTATETYPE, DWORD> stageStates[] = {
      {D3DTSS_COLOROP, D3DTOP_SELECTARG2}, {D3DTSS_COLORARG1, D3DTA_DIFFUSE}, {D3DTSS_COLORARG2, D3DTA_TEXTURE},
      {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {D3DTSS_ALPHAARG1, D3DTA_DIFFUSE}, {D3DTSS_ALPHAARG2, D3DTA_TEXTURE}};
  for (const auto& [state, value] : renderStates) g_device->SetRenderState(state, value);
  for (const auto& [type, value] : stageStates) g_device->SetTextureStageState(0, type, value);

  for (const char* text : {"A", ""}) {
    draws_.clear();
    draw(text);
    for (const auto& [state, value] : renderStates) {
      DWORD now = 0;
      g_device->GetRenderState(state, &now);
      EXPECT_EQ(now, value) << "render state " << state << " after \"" << text << "\"";
    }
    for (const auto& [type, value] : stageStates) {
      DWORD now = 0;
      g_device->GetTextureStageState(0, type, &now);
      EXPECT_EQ(now, value) << "stage state " << type << " after \"" << text << "\"";
    }
    IDirect3DBaseTexture8* bound = nullptr;
    g_device->GetTexture(0, &bound);
    EXPECT_EQ(bound, callers);
    if (bound != nullptr) bound->Release();
  }
  EXPECT_TRUE(draws_.empty());  // the empty string drew nothing

  draws_.clear();
  draw("A");
  ASSERT_EQ(draws_.size(), 1u);
  const d3d8compat::DeviceState& during = draws_[0].state;
  EXPECT_EQ(static_cast<IDirect3DTexture8*>(during.textures[0]), g_font.texture);
  EXPECT_EQ(during.renderStates[D3DRS_ALPHABLENDENABLE], static_cast<DWORD>(TRUE));
  EXPECT_EQ(during.renderStates[D3DRS_SRCBLEND], static_cast<DWORD>(D3DBLEND_SRCALPHA));
  EXPECT_EQ(during.renderStates[D3DRS_DESTBLEND], static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
  EXPECT_EQ(during.renderStates[D3DRS_CULLMODE], static_cast<DWORD>(D3DCULL_NONE));
  EXPECT_EQ(during.renderStates[D3DRS_ZENABLE], static_cast<DWORD>(FALSE));
  EXPECT_EQ(during.renderStates[D3DRS_FOGENABLE], static_cast<DWORD>(FALSE));
  EXPECT_EQ(during.stageStates[0][D3DTSS_COLOROP], static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_EQ(during.stageStates[0][D3DTSS_COLORARG1], D3DTA_TEXTURE);
  EXPECT_EQ(during.stageStates[0][D3DTSS_COLORARG2], D3DTA_DIFFUSE);
  EXPECT_EQ(during.stageStates[0][D3DTSS_ALPHAOP], static_cast<DWORD>(D3DTOP_MODULATE));
  EXPECT_EQ(during.stageStates[0][D3DTSS_ALPHAARG1], D3DTA_TEXTURE);
  EXPECT_EQ(during.stageStates[0][D3DTSS_ALPHAARG2], D3DTA_DIFFUSE);
  g_device->SetTexture(0, nullptr);
  callers->Release();
}

// Size 1 at 640 x 480: the outline passes sit 2.56 pixels across and 2.88 up or down from the text.
TEST_F(DrawStringTest, TextCardDrawsFourMagentaOutlinePassesThenTheText) {
  drawTextCard("AB", 0.5f, 0.5f, 1.0f, 0xFF00FF00, true, true);
  ASSERT_EQ(draws_.size(), 5u);
  const float offsets[4][2] = {{2.56f, 2.88f}, {-2.56f, 2.88f}, {-2.56f, -2.88f}, {2.56f, -2.88f}};
  const OverlayVertex& text = draws_[4].vertices[1];
  EXPECT_EQ(text.color, 0xFF00FF00u);
  // Glyphs 0.07 x 480 / 32 = 1.05 and 0.08 x 480 / 32 = 1.2 times their atlas size: 'A' is 16.8 x 38.4.
  EXPECT_NEAR(draws_[4].vertices[3].x - text.x, 16.8f, 1e-3f);
  EXPECT_NEAR(draws_[4].vertices[0].y - text.y, 38.4f, 1e-3f);
  for (int pass = 0; pass < 4; ++pass) {
    const OverlayVertex& v = draws_[static_cast<size_t>(pass)].vertices[1];
    EXPECT_EQ(v.color, 0xFFFF00FFu) << pass;
    EXPECT_NEAR(v.x - text.x, offsets[pass][0], 1e-3f) << pass;
    EXPECT_NEAR(v.y - text.y, offsets[pass][1], 1e-3f) << pass;
  }
  draws_.clear();
  drawTextCard("AB", 0.5f, 0.5f, 1.0f, 0xFF00FF00, true, false);
  EXPECT_EQ(draws_.size(), 1u);
}

}  // namespace
