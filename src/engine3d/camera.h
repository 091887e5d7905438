// Camera: the one viewer of the 3D scenes. Scenes write its eye and target (and fov, roll), then apply
// it once per frame, which builds the view and projection matrices and sets them on the device.
// With the eye on the target there is no view direction: apply then keeps the previous view and
// direction instead of building a non-finite matrix.
#pragma once

#include "engine3d/matrix4.h"
#include "engine3d/vec3.h"

struct Camera {
  Matrix4 projection;
  Matrix4 view;
  Vec3 eye;
  Vec3 direction;  // unit look direction, written by apply; scenes may use it as scratch before
  Vec3 target;
  float roll;
  float fov;

  Camera();  // eye (0, 2, -4), target (0, 1, 0), roll 0, fov pi/2, identity matrices
  void apply();
};
