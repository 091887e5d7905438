// The flight through the tunnel: the centre-line curve and the per-frame shaping of the tube into the
// rings at consecutive whole-number curve parameters starting just behind the eye.
#include "engine3d/tunnel.h"

#include "engine3d/matrix4.h"
#include "engine3d/mesh.h"
#include "engine3d/sprite_batch.h"

Vec3 tunnelPath(float s) {
  const float t = s * 1.2f;
  const float a = sinOf(t * 0.0192f);
  const float b = cosOf(t * 0.0273f);
  return {0.5f * (33.0f * sinOf(t * 0.02f)), 0.5f * (26.0f * (b * b * b)), 0.5f * (34.0f * (a * a * a) + t * 0.8f)};
}

void Mesh::shapeTunnel(float time, Vec3& eyeOut, Vec3& lookOut, int segments, int rings, float sign,
                       SpriteBatch& sprites) {
  const float base = time * sign * 32.0f;
  const int k0 = static_cast<int>(base);
  const Vec3 up{0.0f, 1.0f, 0.0f};
  const float step = 6.2831855f / static_cast<float>(segments);
  // A mesh smaller than the requested rings keeps its shape (writing them would run past its arrays).
  const bool fits = vertices != nullptr && segments > 0 && (rings + 1) * segments <= vertexCount;

  for (int i = 0; fits && i <= rings; ++i) {
    const float p = static_cast<float>(k0 + i);
    MeshVertex* ring = vertices + i * segments;
    const Vec3 c = tunnelPath(p);
    const Vec3 t = (tunnelPath(p + 1.0f) - c).normalized();
    const Vec3 a = t.cross(up);
    const Vec3 b = t.cross(a).normalized();
    const Vec3 n = t.cross(b).normalized();
    float phi = sinOf(p * 0.03f) * 3.0f;
    // Radius terms that depend on the ring alone.
    const float wave = cosOf(p * -0.13f);
    const float twist = p * 0.07f;
    for (int j = 0; j < segments; ++j) {
      const float radius = wave * sinOf(2.0f * phi - twist) * 0.4f + 0.9f;
      ring[j].position = c + b * (cosOf(phi) * radius) + n * (sinOf(phi) * radius);
      ring[j].v = p * 0.1f;
      if (j % 4 == 0) {
        // The huge multipliers hash the ring into pseudo-random angles (formed in single precision).
        const int m1 = 29 * j, m2 = 23 * j;
        const Vec3 dust = c + b * cosOf(p * 363227.0f + static_cast<float>(m2) + phi) +
                          n * sinOf(p * 21651.0f + static_cast<float>(m1) + phi);
        sprites.add(dust, (j & 4) != 0 ? TUNNEL_DUST_ODD : TUNNEL_DUST_EVEN);
      }
      phi += step;
    }
  }

  eyeOut = tunnelPath(base + 1.0f);
  lookOut = tunnelPath(base - 5.0f) - tunnelPath(base - 6.0f);
}
