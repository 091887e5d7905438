#include "engine3d/camera.h"

#include "platform/graphics.h"

Camera::Camera() : eye{0.0f, 2.0f, -4.0f}, direction{0.0f, 0.0f, 1.0f}, target{0.0f, 1.0f, 0.0f}, roll(0.0f), fov(1.5707964f) {
  projection.setUniformScale(1.0f);
  view.setUniformScale(1.0f);
}

void Camera::apply() {
  const Vec3 toTarget = target - eye;
  const bool looking = toTarget.lengthSquared() != 0.0f;
  if (looking) direction = toTarget.normalized();
  Matrix4 roller;
  roller.setRotationZ(roll);
  projection.setPerspective(0.1f, 700.0f, fov, g_viewportAspect);
  if (looking) {
    view.setLookAt(eye, target, Vec3{0.0f, 1.0f, 0.0f});
    view = view.multiply(roller);
  }
  const D3DMATRIX p = toD3DMatrix(projection), v = toD3DMatrix(view);
  g_device->SetTransform(D3DTS_PROJECTION, &p);
  g_device->SetTransform(D3DTS_VIEW, &v);
}
