// Writes a 0xAARRGGBB picture as an opaque 8-bit RGB PNG, with fixed settings so the same picture always
// gives the same bytes. Rows are stored unfiltered and deflated by libdeflate at its fastest level: on
// the presentation's frames that is both faster and smaller than zlib with any filter (captures write
// thousands of frames, so encoding speed is what counts).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// The whole PNG file for `pixels` in `out` (replacing what it held). False only if memory runs out.
bool encodePng(const uint32_t* pixels, int width, int height, std::vector<uint8_t>* out);

// Encodes and writes the file; false with errno set when the file cannot be written.
bool writePng(const std::string& path, const uint32_t* pixels, int width, int height);

}  // namespace host
