// The camera: the default view and projection as set on the device, the roll applied after the view,
// and the eye placed on the target keeping the previous view.
#include <gtest/gtest.h>

#include <cmath>

#include "engine3d/camera.h"
#include "engine_fixture.h"
#include "expect_vec.h"

namespace {

using CameraTest = EngineDeviceTest;

void expectOnDevice(const D3DMATRIX& onDevice, const Matrix4& m) {
  for (int i = 0; i < 16; ++i) EXPECT_EQ(onDevice.m[i / 4][i % 4], m.m[i]) << "element " << i;
}

}  // namespace

TEST_F(CameraTest, DefaultCameraLooksAtItsTargetFromSqrt17Away) {
  Camera camera;
  camera.apply();
  const float d = std::sqrt(17.0f);
  expectVec(Vec3{0, 1, 0}.transformCoord(camera.view), 0.0f, 0.0f, d, 1e-5f);
  expectVec(camera.direction, 0.0f, -1.0f / d, 4.0f / d, 1e-6f);
  // Up stays up: a point above the target lands above the axis.
  EXPECT_GT((Vec3{0, 2, 0}.transformCoord(camera.view).y), 0.0f);
  EXPECT_NEAR(camera.projection.m[0], 1.0f, 1e-6f);
  EXPECT_NEAR(camera.projection.m[5], 1.4966058f, 1e-5f);
  expectOnDevice(state().view, camera.view);
  expectOnDevice(state().projection, camera.projection);
}

TEST_F(CameraTest, RollTurnsTheViewAboutItsOwnAxis) {
  Camera camera;
  camera.apply();
  const Vec3 p{1.0f, 3.0f, 2.0f};
  const Vec3 plain = p.transformCoord(camera.view);
  camera.roll = 1.5707964f;
  camera.apply();
  // In view space a quarter roll sends (x, y, z) to (-y, x, z).
  expectVec(p.transformCoord(camera.view), -plain.y, plain.x, plain.z, 1e-5f);
  expectOnDevice(state().view, camera.view);
}

TEST_F(CameraTest, EyeOnTheTargetKeepsThePreviousView) {
  Camera camera;
  camera.eye = {0.0f, 0.0f, -2.5f};
  camera.target = {0.0f, 0.0f, 0.0f};
  camera.apply();
  const Matrix4 before = camera.view;
  const Vec3 direction = camera.direction;
  camera.target = camera.eye;
  camera.apply();
  for (int i = 0; i < 16; ++i) EXPECT_EQ(camera.view.m[i], before.m[i]) << "element " << i;
  expectVec(camera.direction, direction.x, direction.y, direction.z, 0.0f);
  expectOnDevice(state().view, before);
}
