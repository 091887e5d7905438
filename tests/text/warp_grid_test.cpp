// The warp grid as the device receives it: index pattern, fixed positions on the 640 x 480 screen, and
// the texture coordinates at t = 0, worked out from the formula by hand (centre at (0.5, 1.0)).
#include <algorithm>
#include <cmath>

#include "text/warp_grid.h"
#include "text_fixture.h"

namespace {

class WarpGridTest : public TextTest {
 protected:
  // One animate and draw; the draw as recorded.
  const RecordedDraw& drawAt(float t, uint32_t color) {
    WarpGrid grid;
    beginFrame(0);
    grid.animate(t, color);
    grid.draw();
    endFrame();
    grid.release();
    EXPECT_EQ(draws_.size(), 1u);
    return draws_.back();
  }
  static const OverlayVertex& at(const RecordedDraw& d, int row, int column) {
    return d.vertices[static_cast<size_t>(row * 41 + column)];
  }
};

TEST_F(WarpGridTest, TwoTrianglesPerCellOver30RowsOf40Cells) {
  const RecordedDraw& d = drawAt(0.0f, 0xFFFFFFFF);
  EXPECT_EQ(d.type, D3DPT_TRIANGLELIST);
  EXPECT_EQ(d.primitives, 2400u);
  ASSERT_EQ(d.vertices.size(), 1271u);
  ASSERT_EQ(d.indices.size(), 7200u);
  // Cell (0, 0): a = 0; cell (0, 1): a = 1; cell (1, 0): a = 41; the last cell (29, 39): a = 1228.
  const uint16_t first[12] = {0, 42, 1, 0, 41, 42, 1, 43, 2, 1, 42, 43};
  EXPECT_TRUE(std::equal(first, first + 12, d.indices.begin()));
  const uint16_t secondRow[6] = {41, 83, 42, 41, 82, 83};
  EXPECT_TRUE(std::equal(secondRow, secondRow + 6, d.indices.begin() + 40 * 6));
  const uint16_t last[6] = {1228, 1270, 1229, 1228, 1269, 1270};
  EXPECT_TRUE(std::equal(last, last + 6, d.indices.end() - 6));
  EXPECT_EQ(d.state.renderStates[D3DRS_CULLMODE], static_cast<DWORD>(D3DCULL_NONE));
}

TEST_F(WarpGridTest, PositionsCoverThe640By480Screen) {
  const RecordedDraw& d = drawAt(0.0f, 0xFFFFFFFF);
  ASSERT_EQ(d.vertices.size(), 1271u);
  const struct {
    int row, column;
    float x, y;
  } cases[] = {{0, 0, 0, 0}, {0, 1, 16, 0}, {1, 0, 0, 16}, {15, 20, 320, 240}, {30, 40, 640, 480}, {30, 0, 0, 480}};
  for (const auto& c : cases) {
    const OverlayVertex& v = at(d, c.row, c.column);
    EXPECT_NEAR(v.x, c.x, 1e-4f) << c.row << "," << c.column;
    EXPECT_NEAR(v.y, c.y, 1e-4f) << c.row << "," << c.column;
    EXPECT_EQ(v.z, 0.0f);
    EXPECT_EQ(v.rhw, 1.0f);
  }
}

// t = 0: centre (0.5, 1.0); p = 5.2 ry, q = 3.1 ry, s = 4.2 ry.
//   (0, 0):   d = sqrt(0.25 + 1) = 1.118034; u = d sqrt(sin 0 cos 0 + 1) = d; v = d (sin 0 + cos 0) = d.
//   (0, 40):  d the same; u = d sqrt(sin 1.4 + 1) = 1.118034 x 1.409058 = 1.575377; v = d.
//   (30, 0):  d = 0.5; u = 0.5 sqrt(0 + 1) = 0.5; v = 0.5 (sin 4.2 + cos 3.1) = 0.5 (-0.871576 - 0.999135).
//   (15, 10): d = sqrt(0.0625 + 0.25) = 0.559017; u = d sqrt(sin 0.35 cos 2.6 + 1) = d sqrt(1 - 0.293825);
//             v = d (sin 2.1 + cos 1.55) = d (0.863209 + 0.020795).
//   (30, 20): the centre itself, u = v = 0.
TEST_F(WarpGridTest, TextureCoordinatesAtTimeZeroGrowFromTheBottomMiddle) {
  const RecordedDraw& d = drawAt(0.0f, 0x00FF00FF);
  ASSERT_EQ(d.vertices.size(), 1271u);
  const struct {
    int row, column;
    float u, v;
  } cases[] = {{0, 0, 1.118034f, 1.118034f},   {0, 40, 1.575377f, 1.118034f}, {30, 0, 0.5f, -0.935355f},
               {15, 10, 0.469765f, 0.494173f}, {30, 20, 0.0f, 0.0f}};
  for (const auto& c : cases) {
    const OverlayVertex& v = at(d, c.row, c.column);
    EXPECT_NEAR(v.u, c.u, 2e-6f) << c.row << "," << c.column;
    EXPECT_NEAR(v.v, c.v, 2e-6f) << c.row << "," << c.column;
  }
  EXPECT_EQ(at(d, 30, 20).u, 0.0f);
  EXPECT_EQ(at(d, 30, 20).v, 0.0f);
  for (const OverlayVertex& v : d.vertices) ASSERT_EQ(v.color, 0x00FF00FFu);
}

// The centre wanders: at t = 3 the middle of the bottom edge is no longer where u and v vanish.
TEST_F(WarpGridTest, LaterTimesMoveTheCentre) {
  const RecordedDraw& d = drawAt(3.0f, 0xFF606060);
  ASSERT_EQ(d.vertices.size(), 1271u);
  EXPECT_GT(std::fabs(at(d, 30, 20).u), 0.1f);
  EXPECT_EQ(at(d, 0, 0).color, 0xFF606060u);
}

}  // namespace
