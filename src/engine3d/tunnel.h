// The tunnel's centre line: a fixed parametric space curve advancing along +Z by 0.48 per unit and
// swinging sideways and up and down. Mesh::shapeTunnel (tunnel.cpp) wraps the tube around it.
#pragma once

#include <cstdint>

#include "engine3d/vec3.h"

// The centre-line point at curve parameter s.
Vec3 tunnelPath(float s);

// Dust colours: segments whose index has bit 2 set, and the others (both with alpha 0x3F).
constexpr uint32_t TUNNEL_DUST_ODD = 0x3F3F003F;
constexpr uint32_t TUNNEL_DUST_EVEN = 0x3F003F00;
