// Vec3: the three-float vector shared by the geometric code (positions, normals, directions).
// Normalising a zero vector is not guarded: callers never pass one.
#pragma once

#include <cmath>

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  float lengthSquared() const { return x * x + y * y + z * z; }

  // In place; returns the length it divided by.
  float normalize() {
    const float length = static_cast<float>(std::sqrt(static_cast<double>(lengthSquared())));
    divideBy(length);
    return length;
  }

  Vec3 normalized() const {
    Vec3 v = *this;
    v.normalize();
    return v;
  }

  Vec3 cross(const Vec3& b) const { return {y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x}; }

  Vec3 dividedBy(float s) const {
    const float r = 1.0f / s;
    return {x * r, y * r, z * r};
  }

  void divideBy(float s) { *this = dividedBy(s); }
};
