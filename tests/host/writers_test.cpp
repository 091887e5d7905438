// The capture's arithmetic and its file formats.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "host/capture.h"
#include "host/png_writer.h"
#include "host/wav_writer.h"

namespace {

TEST(CaptureClock, AudioFramesPerPictureFrameCarryTheFraction) {
  // 44100 / 60 = 735 exactly; 44100 / 7 = 6300; 44100 / 13 = 3392.3..., so one frame in thirteen gets
  // 3393 only after the remainder has built up, and thirteen frames make exactly one second.
  uint32_t remainder = 0;
  EXPECT_EQ(host::audioFramesForNextFrame(60, &remainder), 735u);
  EXPECT_EQ(remainder, 0u);
  uint64_t total = 0;
  remainder = 0;
  for (int i = 0; i < 13; ++i) total += host::audioFramesForNextFrame(13, &remainder);
  EXPECT_EQ(total, 44100u);
  EXPECT_EQ(remainder, 0u);
  remainder = 0;
  EXPECT_EQ(host::audioFramesForNextFrame(13, &remainder), 3392u);
  EXPECT_EQ(remainder, 4u);
  total = 0;
  remainder = 0;
  for (int i = 0; i < 7 * 1000; ++i) total += host::audioFramesForNextFrame(7, &remainder);
  EXPECT_EQ(total, 44100u * 1000u);
}

TEST(WavWriter, HeaderDescribes44100HzStereo16Bit) {
  uint8_t h[44];
  host::wavHeader(176400, h);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(h), 4), "RIFF");
  EXPECT_EQ(h[4] | h[5] << 8 | h[6] << 16 | h[7] << 24, 36 + 176400);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(h + 8), 8), "WAVEfmt ");
  EXPECT_EQ(h[20], 1);                                         // PCM
  EXPECT_EQ(h[22], 2);                                         // channels
  EXPECT_EQ(h[24] | h[25] << 8 | h[26] << 16, 44100);          // rate
  EXPECT_EQ(h[28] | h[29] << 8 | h[30] << 16, 176400);         // bytes per second
  EXPECT_EQ(h[32], 4);                                         // block align
  EXPECT_EQ(h[34], 16);                                        // bits
  EXPECT_EQ(h[40] | h[41] << 8 | h[42] << 16 | h[43] << 24, 176400);
}

TEST(WavWriter, SizesAreFilledInOnClose) {
  const auto path = std::filesystem::temp_directory_path() / "brannik_wav_test.wav";
  host::WavWriter wav;
  ASSERT_TRUE(wav.open(path.string()));
  const std::vector<uint8_t> a(1000, 7), b(24, 9);
  ASSERT_TRUE(wav.append(a.data(), a.size()));
  ASSERT_TRUE(wav.append(b.data(), b.size()));
  ASSERT_TRUE(wav.close());
  EXPECT_EQ(std::filesystem::file_size(path), 44u + 1024u);
  std::FILE* f = std::fopen(path.string().c_str(), "rb");
  uint8_t h[44];
  ASSERT_EQ(std::fread(h, 1, 44, f), 44u);
  std::fclose(f);
  EXPECT_EQ(h[40] | h[41] << 8, 1024);
  std::filesystem::remove(path);
}

TEST(PngWriter, WritesOpaqueRgbThatReadsBack) {
  const auto path = std::filesystem::temp_directory_path() / "brannik_png_test.png";
  const uint32_t pixels[6] = {0x00FF0000, 0xFF00FF00, 0x800000FF, 0x12345678, 0xFFFFFFFF, 0x00000000};
  ASSERT_TRUE(host::writePng(path.string(), pixels, 3, 2));

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_NE(png_image_begin_read_from_file(&image, path.string().c_str()), 0);
  EXPECT_EQ(image.width, 3u);
  EXPECT_EQ(image.height, 2u);
  EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, 0u);  // alpha is not written
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_NE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr), 0);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(rgb[i * 3 + 0], (pixels[i] >> 16) & 0xFF) << i;
    EXPECT_EQ(rgb[i * 3 + 1], (pixels[i] >> 8) & 0xFF) << i;
    EXPECT_EQ(rgb[i * 3 + 2], pixels[i] & 0xFF) << i;
  }
  std::filesystem::remove(path);
}

TEST(PngWriter, UnwritablePathFails) {
  const uint32_t pixel = 0;
  EXPECT_FALSE(host::writePng("/nonexistent-dir/x.png", &pixel, 1, 1));
}

}  // namespace
