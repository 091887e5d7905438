// picture IN.png OUT.bin: a 128 x 128 picture quantised to 16 colours and packed in the palette format.
#include <cstdio>

#include "brannik-assets/blob_io.h"
#include "brannik-assets/command.h"
#include "brannik-assets/picture_pack.h"

namespace assets {
namespace {

int runPicture(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: brannik-assets picture IN.png OUT.bin\n");
    return 2;
  }
  std::vector<uint8_t> payload;
  std::string report, error;
  if (!packPictureFile(argv[1], &payload, &report, &error) || !writeFile(argv[2], payload.data(), payload.size(), &error)) {
    std::fprintf(stderr, "brannik-assets picture: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %s\n", argv[2], report.c_str());
  return 0;
}

const RegisterCommand registered({"picture", "IN.png OUT.bin",
                                  "quantise a 128 x 128 picture to 16 colours and pack it", runPicture});

}  // namespace
}  // namespace assets
