#include "brannik-assets/png_files.h"

#include <png.h>

#include <cstring>

namespace assets {

bool readPng(const std::string& path, std::vector<uint32_t>* pixels, int* width, int* height, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    *error = path + ": not a readable PNG (" + image.message + ")";
    return false;
  }
  image.format = PNG_FORMAT_BGRA;  // bytes blue, green, red, alpha: 0xAARRGGBB little-endian words
  if (image.width > 16384 || image.height > 16384) {
    png_image_free(&image);
    *error = path + ": image too large";
    return false;
  }
  pixels->assign(static_cast<size_t>(image.width) * image.height, 0);
  if (png_image_finish_read(&image, nullptr, pixels->data(), 0, nullptr) == 0) {
    *error = path + ": cannot decode PNG (" + image.message + ")";
    png_image_free(&image);
    return false;
  }
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return true;
}

bool writePngRgba(const std::string& path, const uint32_t* pixels, int width, int height, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_BGRA;
  if (png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, nullptr) == 0) {
    *error = path + ": cannot write PNG (" + image.message + ")";
    return false;
  }
  return true;
}

}  // namespace assets
