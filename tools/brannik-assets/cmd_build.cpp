// build OUT.bin [ASSETS_DIR]: the archive blob from the assets folder.
#include <cstdio>

#include "brannik-assets/assemble.h"
#include "brannik-assets/command.h"

namespace assets {
namespace {

int runBuild(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: brannik-assets build OUT.bin [ASSETS_DIR]\n");
    return 2;
  }
  const std::string assetsDir = argc == 3 ? argv[2] : "assets";
  std::vector<BlobEntry> entries;
  std::string error;
  if (!assembleArchive(assetsDir, &entries, &error)) {
    std::fprintf(stderr, "brannik-assets build: %s\n", error.c_str());
    return 1;
  }
  const std::vector<uint8_t> blob = writeArchiveBlob(entries);
  if (!writeFile(argv[1], blob.data(), blob.size(), &error)) {
    std::fprintf(stderr, "brannik-assets build: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

const RegisterCommand registered({"build", "OUT.bin [ASSETS_DIR]",
                                  "compile the assets folder (default: assets) into the archive blob", runBuild});

}  // namespace
}  // namespace assets
