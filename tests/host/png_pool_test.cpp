// Frame files written on worker threads: every file complete and equal to its picture, the bytes the
// same however many workers wrote them, and a failed write reported with its path and removed.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/png_pool.h"
#include "host/png_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 97;  // odd sizes: no row happens to line up with anything
constexpr int kHeight = 61;

// A picture with smooth runs and noise, different for every `seed`.
std::vector<uint32_t> picture(uint32_t seed) {
  std::vector<uint32_t> pixels(kWidth * kHeight);
  uint32_t noise = seed * 2654435761u + 1;
  for (int i = 0; i < kWidth * kHeight; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const uint32_t smooth = static_cast<uint32_t>(i % kWidth * 2 + seed) & 0xFF;
    pixels[i] = (i / kWidth % 3 == 0) ? (noise | 0xFF000000u) : (0x80000000u | smooth << 16 | smooth << 8 | seed);
  }
  return pixels;
}

std::vector<uint8_t> fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file decoded by libpng equals the picture's RGB (alpha is not written).
void expectReadsBackAs(const fs::path& path, const std::vector<uint32_t>& pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_NE(png_image_begin_read_from_file(&image, path.c_str()), 0) << path;
  ASSERT_EQ(image.width, static_cast<unsigned>(kWidth));
  ASSERT_EQ(image.height, static_cast<unsigned>(kHeight));
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint32_t> read(PNG_IMAGE_SIZE(image) / 4);
  ASSERT_NE(png_image_finish_read(&image, nullptr, read.data(), 0, nullptr), 0) << path;
  for (size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(read[i], pixels[i] | 0xFF000000u) << path << " pixel " << i;
}

class PngPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // This process's id in the name: ctest runs the two tests of this fixture at once.
    dir_ = fs::temp_directory_path() / ("brannik_png_pool_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path frame(int i) const { return dir_ / ("frame_" + std::to_string(i) + ".png"); }
  fs::path dir_;
};

TEST_F(PngPoolTest, EveryQueuedFrameIsWrittenCompleteWithTheSameBytesForAnyNumberOfWorkers) {
  constexpr int kFrames = 12;
  std::vector<std::vector<uint8_t>> first;
  for (int threads : {1, 3}) {
    host::PngPool pool;
    pool.start(threads, kWidth, kHeight);
    std::vector<uint32_t> shared(kWidth * kHeight);
    for (int i = 0; i < kFrames; ++i) {
      shared = picture(i);  // the caller's buffer changes as soon as submit returns
      pool.submit(frame(i).string(), shared.data());
    }
    pool.finish();
    EXPECT_EQ(pool.firstError(), "");
    for (int i = 0; i < kFrames; ++i) {
      expectReadsBackAs(frame(i), picture(i));
      if (threads == 1) {
        first.push_back(fileBytes(frame(i)));
      } else {
        EXPECT_EQ(fileBytes(frame(i)), first[i]) << "frame " << i;
      }
    }
  }
  // The file is exactly what encodePng gives.
  std::vector<uint8_t> encoded;
  ASSERT_TRUE(host::encodePng(picture(5).data(), kWidth, kHeight, &encoded));
  EXPECT_EQ(encoded, first[5]);
}

TEST_F(PngPoolTest, AFailedWriteIsReportedWithItsPathAndReasonAndTheOthersStillComplete) {
  host::PngPool pool;
  pool.start(2, kWidth, kHeight);
  const std::vector<uint32_t> pixels = picture(1);
  const fs::path bad = dir_ / "missing" / "frame.png";
  pool.submit(frame(0).string(), pixels.data());
  pool.submit(bad.string(), pixels.data());
  pool.submit(frame(2).string(), pixels.data());
  pool.finish();
  EXPECT_EQ(pool.firstError(), "cannot write " + bad.string() + ": No such file or directory");
  EXPECT_FALSE(fs::exists(bad));
  expectReadsBackAs(frame(0), pixels);
  expectReadsBackAs(frame(2), pixels);
  pool.finish();  // a second finish is harmless
}

}  // namespace
