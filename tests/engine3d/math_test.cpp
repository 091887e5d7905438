// Vectors and matrices: worked values of the builders, the look-at's fall-back chain and the cases
// where it keeps the matrix, the perspective's terms, products stored over an operand, and the zero
// vector's normalisation.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine3d/matrix4.h"
#include "engine3d/vec3.h"
#include "expect_vec.h"

namespace {

Matrix4 filled(float first) {
  Matrix4 m;
  for (int i = 0; i < 16; ++i) m.m[i] = first + static_cast<float>(i);
  return m;
}

void expectSameMatrix(const Matrix4& a, const Matrix4& b) {
  for (int i = 0; i < 16; ++i) EXPECT_EQ(a.m[i], b.m[i]) << "element " << i;
}

void expectIdentity(const Matrix4& m) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i], i % 5 == 0 ? 1.0f : 0.0f, 1e-7f) << "element " << i;
}

}  // namespace

TEST(Vec3Math, TheZeroVectorNormalisesToItselfWithLengthZero) {
  Vec3 zero;
  EXPECT_EQ(zero.normalize(), 0.0f);
  EXPECT_EQ(zero.x, 0.0f);
  EXPECT_EQ(zero.y, 0.0f);
  EXPECT_EQ(zero.z, 0.0f);
  const Vec3 n = Vec3{}.normalized();
  EXPECT_FALSE(std::isnan(n.x) || std::isnan(n.y) || std::isnan(n.z));
}

TEST(Vec3Math, TransformCoordAddsTheTranslationAndTurnsNormals) {
  Matrix4 m;
  m.setScale(2.0f, 3.0f, 4.0f);
  m.m[12] = 10.0f;
  m.m[13] = 20.0f;
  m.m[14] = 30.0f;
  expectVec(Vec3{1, 1, 1}.transformCoord(m), 12, 23, 34);
  m.setRotationY(1.5707964f);  // +x turns to -z
  expectVec(Vec3{1, 0, 0}.transformCoord(m), 0, 0, -1);
  m.setRotationZ(1.5707964f);  // +x turns to +y
  expectVec(Vec3{1, 0, 0}.transformCoord(m), 0, 1, 0);
  m.setRotationX(1.5707964f);  // +y turns to +z
  expectVec(Vec3{0, 1, 0}.transformCoord(m), 0, 0, 1);
}

TEST(MatrixBuilders, UnitScaleAndZeroRotationAreTheIdentity) {
  Matrix4 m = filled(7.0f);
  m.setUniformScale(1.0f);
  expectIdentity(m);
  m = filled(7.0f);
  m.setRotationYXZ(0.0f, 0.0f, 0.0f);
  expectIdentity(m);
}

TEST(MatrixBuilders, RotationYXZAppliesYThenXThenZ) {
  Matrix4 m;
  // (1, 0, 0) turns about Y to (0, 0, -1), then about X by a quarter turn to (0, 1, 0). The other order
  // would leave X's turn without effect and end at (0, 0, -1).
  m.setRotationYXZ(1.5707964f, 1.5707964f, 0.0f);
  expectVec(Vec3{1, 0, 0}.transformCoord(m), 0, 1, 0);
  // Z last: (0, 1, 0) goes to (0, 0, 1) by X and stays there under Z; Z first would have turned it to
  // (-1, 0, 0), which X leaves alone.
  m.setRotationYXZ(1.5707964f, 0.0f, 1.5707964f);
  expectVec(Vec3{0, 1, 0}.transformCoord(m), 0, 0, 1);
}

TEST(MatrixBuilders, PerspectiveScalesTheHalfAngleByTheAspect) {
  Matrix4 m = filled(3.0f);
  m.setPerspective(0.1f, 700.0f, 1.5707964f, 0.75f);
  EXPECT_NEAR(m.m[0], 1.0f, 1e-6f);
  EXPECT_NEAR(m.m[5], 1.4966058f, 1e-5f);
  EXPECT_NEAR(m.m[10], 1.0001429f, 1e-6f);
  EXPECT_EQ(m.m[11], 1.0f);
  EXPECT_NEAR(m.m[14], -0.10001429f, 1e-7f);
  for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15}) EXPECT_EQ(m.m[i], 0.0f) << "element " << i;
}

TEST(MatrixBuilders, MultiplyMayStoreOverEitherOperand) {
  Matrix4 a, b;
  a.setScale(2.0f, 3.0f, 4.0f);
  a.m[12] = 1.0f;
  b.setRotationZ(1.5707964f);
  const Matrix4 ab = a.multiply(b);
  // Row 0 of A * B is 2 * row 0 of B = (0, 2, 0); row 1 is 3 * row 1 of B = (-3, 0, 0).
  EXPECT_NEAR(ab.m[1], 2.0f, 1e-6f);
  EXPECT_NEAR(ab.m[4], -3.0f, 1e-6f);
  EXPECT_NEAR(ab.m[13], 1.0f, 1e-6f);  // the translation (1, 0, 0) turned onto +y

  Matrix4 left = a;
  left = left.multiply(b);
  expectSameMatrix(left, ab);
  Matrix4 right = b;
  right = a.multiply(right);
  expectSameMatrix(right, ab);
  Matrix4 post = a;
  post.postMultiply(b);
  expectSameMatrix(post, ab);
  const Matrix4 ba = b.multiply(a);
  EXPECT_NEAR(ba.m[1], 3.0f, 1e-6f);  // the other order differs
}

TEST(LookAt, BuildsTheViewAxesAndTranslation) {
  Matrix4 m;
  m.setLookAt({0, 0, -5}, {0, 0, 0}, {0, 1, 0});
  expectVec(Vec3{0, 0, 0}.transformCoord(m), 0, 0, 5);
  expectVec(Vec3{1, 2, 0}.transformCoord(m), 1, 2, 5);
  // Looking along +x from the origin: world +x is depth, world -z is to the right.
  m.setLookAt({0, 0, 0}, {3, 0, 0}, {0, 1, 0});
  expectVec(Vec3{3, 0, 0}.transformCoord(m), 0, 0, 3);
  expectVec(Vec3{0, 0, -1}.transformCoord(m), 1, 0, 0);
}

TEST(LookAt, UpAlongTheViewFallsBackToWorldYThenWorldZ) {
  Matrix4 m;
  // Up parallel to the view direction (+x): world Y becomes up, right = Y x X = -z.
  m.setLookAt({0, 0, 0}, {2, 0, 0}, {1, 0, 0});
  EXPECT_NEAR(m.m[5], 1.0f, 1e-6f);   // u = (0, 1, 0)
  EXPECT_NEAR(m.m[8], -1.0f, 1e-6f);  // r.z
  // Looking straight up with up = +y: world Y is degenerate too, world Z becomes up, right = Z x Y = -x.
  m.setLookAt({0, 0, 0}, {0, 10, 0}, {0, 1, 0});
  EXPECT_NEAR(m.m[0], -1.0f, 1e-6f);  // r.x
  EXPECT_NEAR(m.m[9], 1.0f, 1e-6f);   // u.z
  EXPECT_NEAR(m.m[6], 1.0f, 1e-6f);   // f.y
  EXPECT_NEAR(m.m[5], 0.0f, 1e-6f);
}

TEST(LookAt, KeepsTheMatrixWhenNoCandidateGivesAnUpAxis) {
  // A non-finite view direction makes every candidate degenerate.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  Matrix4 m = filled(1.0f);
  m.setLookAt({0, 0, 0}, {nan, 0, 0}, {0, 1, 0});
  expectSameMatrix(m, filled(1.0f));
  // The eye on the target has no direction to look along: kept as well, never non-finite.
  m.setLookAt({1, 2, 3}, {1, 2, 3}, {0, 1, 0});
  expectSameMatrix(m, filled(1.0f));
}

