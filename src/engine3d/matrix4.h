// Matrix4: sixteen floats, row-major, row vectors multiplied on the left (v' = v * M), translation in
// m[12..14]: the memory layout of a Direct3D 8 D3DMATRIX. Builders clear all sixteen elements first.
// Single precision throughout; sine, cosine and tangent are taken in double and stored as float.
// Look-at leaves the matrix unchanged when the eye sits on the target (no direction to look along).
#pragma once

#include "compat/d3d8/d3d8_types.h"
#include "engine3d/vec3.h"

struct Matrix4 {
  float m[16];

  void setUniformScale(float s);  // s = 1 is the identity
  void setScale(float x, float y, float z);
  void setRotationX(float a);
  void setRotationY(float a);
  void setRotationZ(float a);
  // RotY(ay) * RotX(ax) * RotZ(az); the arguments come in X, Y, Z order.
  void setRotationYXZ(float ax, float ay, float az);
  // Left-handed view matrix. When up is parallel to the view direction it falls back to world Y, then
  // world Z; when every candidate is degenerate (or not finite) the matrix is left exactly as it was.
  void setLookAt(Vec3 eye, Vec3 target, Vec3 up);
  // Left-handed, depth 0..1. The aspect (height / width) scales the half-angle of the vertical term.
  void setPerspective(float nearZ, float farZ, float fov, float aspect);

  // this * b, built in a temporary so the result may be stored over either operand.
  Matrix4 multiply(const Matrix4& b) const;
  void postMultiply(const Matrix4& b);  // this = this * b
};

static_assert(sizeof(Matrix4) == sizeof(D3DMATRIX));

// The same sixteen floats as a D3DMATRIX, for SetTransform.
D3DMATRIX toD3DMatrix(const Matrix4& m);

// The two-argument arc tangent of (y, x), computed in double.
float angleOf(float y, float x);

// The sine, cosine and tangent of a float argument, computed in double and rounded to float.
inline float sinOf(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }
inline float cosOf(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
inline float tanOf(float a) { return static_cast<float>(std::tan(static_cast<double>(a))); }
inline float sqrtOf(float a) { return static_cast<float>(std::sqrt(static_cast<double>(a))); }
