// Writes a 0xAARRGGBB picture as an opaque 8-bit RGB PNG (libpng), with fixed settings so the same
// picture always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>

namespace host {

bool writePng(const std::string& path, const uint32_t* pixels, int width, int height);

}  // namespace host
