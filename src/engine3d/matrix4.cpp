#include "engine3d/matrix4.h"

#include <cstring>

Vec3 Vec3::transformCoord(const Matrix4& t) const {
  const float* m = t.m;
  return {x * m[0] + y * m[4] + z * m[8] + m[12], x * m[1] + y * m[5] + z * m[9] + m[13],
          x * m[2] + y * m[6] + z * m[10] + m[14]};
}

void Matrix4::setUniformScale(float s) { setScale(s, s, s); }

void Matrix4::setScale(float x, float y, float z) {
  std::memset(m, 0, sizeof(m));
  m[0] = x;
  m[5] = y;
  m[10] = z;
  m[15] = 1.0f;
}

namespace {

// The identity with the turn by `a` in the plane of axes i and j: (i, i) = (j, j) = cos a,
// (i, j) = sin a, (j, i) = -sin a.
void setPlaneRotation(Matrix4& r, int i, int j, float a) {
  const float c = cosOf(a), s = sinOf(a);
  r.setUniformScale(1.0f);
  r.m[4 * i + i] = c;
  r.m[4 * i + j] = s;
  r.m[4 * j + i] = -s;
  r.m[4 * j + j] = c;
}

}  // namespace

void Matrix4::setRotationX(float a) { setPlaneRotation(*this, 1, 2, a); }
void Matrix4::setRotationY(float a) { setPlaneRotation(*this, 2, 0, a); }
void Matrix4::setRotationZ(float a) { setPlaneRotation(*this, 0, 1, a); }

void Matrix4::setRotationYXZ(float ax, float ay, float az) {
  Matrix4 rx, rz;
  setRotationY(ay);
  rx.setRotationX(ax);
  rz.setRotationZ(az);
  postMultiply(rx);
  postMultiply(rz);
}

void Matrix4::setLookAt(Vec3 eye, Vec3 target, Vec3 up) {
  const Vec3 f = (target - eye).normalized();
  if (f.lengthSquared() == 0.0f) return;  // eye on the target: no view direction
  // A candidate shorter than 1e-6 (or not finite) cannot give the up axis.
  const auto degenerate = [](const Vec3& v) { return !(sqrtOf(v.lengthSquared()) >= 1e-6f); };
  Vec3 u = up - f * dot(up, f);
  if (degenerate(u)) {
    u = Vec3{0.0f, 1.0f, 0.0f} - f * f.y;
    if (degenerate(u)) {
      u = Vec3{0.0f, 0.0f, 1.0f} - f * f.z;
      if (degenerate(u)) return;
    }
  }
  u.normalize();
  const Vec3 r = u.cross(f);
  std::memset(m, 0, sizeof(m));
  m[0] = r.x;
  m[4] = r.y;
  m[8] = r.z;
  m[1] = u.x;
  m[5] = u.y;
  m[9] = u.z;
  m[2] = f.x;
  m[6] = f.y;
  m[10] = f.z;
  m[12] = -dot(eye, r);
  m[13] = -dot(eye, u);
  m[14] = -dot(eye, f);
  m[15] = 1.0f;
}

void Matrix4::setPerspective(float nearZ, float farZ, float fov, float aspect) {
  const float h = fov * 0.5f;
  const float q = farZ / (farZ - nearZ);
  std::memset(m, 0, sizeof(m));
  m[0] = 1.0f / tanOf(h);
  m[5] = 1.0f / tanOf(h * aspect);
  m[10] = q;
  m[11] = 1.0f;
  m[14] = -q * nearZ;
}

Matrix4 Matrix4::multiply(const Matrix4& b) const {
  Matrix4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += m[4 * i + k] * b.m[4 * k + j];
      r.m[4 * i + j] = sum;
    }
  }
  return r;
}

void Matrix4::postMultiply(const Matrix4& b) { *this = multiply(b); }

D3DMATRIX toD3DMatrix(const Matrix4& m) {
  D3DMATRIX d;
  std::memcpy(&d, m.m, sizeof(d));
  return d;
}

float angleOf(float y, float x) { return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x))); }
