// Per-frame operations on a mesh's working vertices: smooth normals from the triangles and the radial
// pulsing of the box.
#include "engine3d/mesh.h"

void Mesh::computeNormals() {
  for (int i = 0; i < vertexCount; ++i) vertices[i].normal = Vec3{};
  for (int t = 0; t + 2 < indexCount; t += 3) {
    const int i0 = indices[t], i1 = indices[t + 1], i2 = indices[t + 2];
    const Vec3 p0 = vertices[i0].position;
    const Vec3 e1 = vertices[i1].position - p0;
    const Vec3 e2 = vertices[i2].position - p0;
    const Vec3 n = e2.cross(e1);  // unnormalised: larger triangles weigh more
    vertices[i0].normal = vertices[i0].normal + n;
    vertices[i1].normal = vertices[i1].normal + n;
    vertices[i2].normal = vertices[i2].normal + n;
  }
  for (int i = 0; i < vertexCount; ++i) vertices[i].normal.normalize();
}

void Mesh::pulsate(float t) {
  for (int i = 0; i < vertexCount; ++i) {
    Vec3& p = vertices[i].position;
    const float e = angleOf(p.y, sqrtOf(p.x * p.x + p.z * p.z));
    const float g = angleOf(p.x, sqrtOf(p.y * p.y + p.z * p.z));
    const float w = cosOf(g * 4.0f + t * 8.16814f);
    const float s = sinOf(e * 5.0f + t * 6.2831855f);
    const float k = s * w + 1.2f;
    p = {k * p.x * 0.5f, k * p.y * 0.5f, k * p.z * 0.5f};
  }
}
