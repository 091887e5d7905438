// PNG reading and writing for the tool (libpng's simplified interface). Pixels are 0xAARRGGBB words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

bool readPng(const std::string& path, std::vector<uint32_t>* pixels, int* width, int* height, std::string* error);
// Writes with the alpha channel kept (RGBA).
bool writePngRgba(const std::string& path, const uint32_t* pixels, int width, int height, std::string* error);

}  // namespace assets
