// Reading what a capture wrote, for the end-to-end tests: running the program, PNG frames as pixel
// words, the frame trace, and the checksum the golden-frame list keeps.
#pragma once

#include <png.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0xFFRRGGBB
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline bool readFrame(const std::string& path, Frame* frame) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return false;
  image.format = PNG_FORMAT_BGRA;
  frame->width = static_cast<int>(image.width);
  frame->height = static_cast<int>(image.height);
  frame->pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
  return png_image_finish_read(&image, nullptr, frame->pixels.data(), 0, nullptr) != 0;
}

inline std::string framePath(const std::string& dir, int index) {
  char name[32];
  std::snprintf(name, sizeof(name), "/frame_%06d.png", index);
  return dir + name;
}

// CRC-32 of the pixels' red, green and blue bytes (alpha is always opaque in a capture).
inline uint32_t frameCrc(const Frame& frame) {
  uLong crc = crc32(0L, Z_NULL, 0);
  for (uint32_t p : frame.pixels) {
    const Bytef rgb[3] = {static_cast<Bytef>(p >> 16), static_cast<Bytef>(p >> 8), static_cast<Bytef>(p)};
    crc = crc32(crc, rgb, 3);
  }
  return static_cast<uint32_t>(crc);
}

struct TraceLine {
  int frame, row, order, scene, newRow;
  double time, beats, gamma, flash, renderMs;
};

inline std::vector<TraceLine> readTrace(const std::string& path) {
  std::vector<TraceLine> lines;
  std::ifstream in(path);
  std::string text;
  std::getline(in, text);  // header
  while (std::getline(in, text)) {
    TraceLine t{};
    if (std::sscanf(text.c_str(), "%d,%lf,%d,%d,%lf,%d,%d,%lf,%lf,%lf", &t.frame, &t.time, &t.row, &t.order, &t.beats,
                    &t.scene, &t.newRow, &t.gamma, &t.flash, &t.renderMs) == 10) {
      lines.push_back(t);
    }
  }
  return lines;
}

// A whole file's bytes (empty when it cannot be read).
inline std::string readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline int runCommand(const std::string& command, std::string* output = nullptr) {
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
    if (output != nullptr) output->append(buffer, n);
  }
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
