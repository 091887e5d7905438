// Vec3: the three-float vector shared by the geometric code (positions, normals, directions).
// Plain value type; single-precision arithmetic, square root taken in double and stored as float.
// Normalising the zero vector leaves it zero and reports length 0 (instead of dividing by zero).
#pragma once

#include <cmath>

struct Matrix4;

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  float lengthSquared() const { return x * x + y * y + z * z; }

  // In place; returns the length it divided by (0 for the zero vector, which stays zero).
  float normalize() {
    const float length = static_cast<float>(std::sqrt(static_cast<double>(lengthSquared())));
    if (length == 0.0f) return 0.0f;
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

  // The point times m with translation and without a w divide (matrix4.cpp).
  Vec3 transformCoord(const Matrix4& m) const;
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(const Vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
