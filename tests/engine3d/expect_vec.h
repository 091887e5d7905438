// Component-wise comparison of vectors within a tolerance, for the engine tests.
#pragma once

#include <gtest/gtest.h>

#include "engine3d/vec3.h"

inline void expectVec(const Vec3& v, float x, float y, float z, float tolerance = 1e-6f) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}
