// build OUT.bin [ASSETS_DIR]: the archive blob from the assets folder.
#include <cstdio>
#include <cstring>

#include "archive/archive.h"
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
  // Round trip: the program's own loader must see every entry as written.
  loadArchive(blob.data(), blob.size());
  bool same = archiveEntryCount() == static_cast<int32_t>(entries.size());
  for (int32_t i = 0; same && i < archiveEntryCount(); ++i) {
    const ArchiveEntry* loaded = archiveEntryAt(i);
    same = loaded->key == entries[i].key && loaded->type == entries[i].type &&
           loaded->storedSize == static_cast<int32_t>(entries[i].payload.size()) &&
           (entries[i].payload.empty() ||
            std::memcmp(loaded->storedData, entries[i].payload.data(), entries[i].payload.size()) == 0);
  }
  releaseArchive();
  if (!same) {
    std::fprintf(stderr, "brannik-assets build: internal error: the blob does not load back as written\n");
    return 1;
  }
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
