// list ARCHIVE: key, type and size of each entry.
#include <cstdio>

#include "archive/archive.h"
#include "brannik-assets/blob_io.h"
#include "brannik-assets/command.h"

namespace assets {
namespace {

int runList(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: brannik-assets list ARCHIVE\n");
    return 2;
  }
  std::vector<uint8_t> blob;
  std::string error;
  if (!readFile(argv[1], &blob, &error)) {
    std::fprintf(stderr, "brannik-assets list: %s\n", error.c_str());
    return 1;
  }
  loadArchive(blob.data(), blob.size());
  const int declared = blob.empty() ? 0 : blob[0];
  std::printf("%-4s  %-4s  %8s\n", "key", "type", "bytes");
  for (int32_t i = 0; i < archiveEntryCount(); ++i) {
    const ArchiveEntry* entry = archiveEntryAt(i);
    std::printf("%-4s  %-4c  %8d\n", fourCCText(entry->key).c_str(), static_cast<char>(entry->type), entry->storedSize);
  }
  const int read = archiveEntryCount();
  releaseArchive();
  if (read != declared) {
    std::fprintf(stderr, "brannik-assets list: %s: the archive declares %d entries but only %d fit in its %zu bytes\n",
                 argv[1], declared, read, blob.size());
    return 1;
  }
  return 0;
}

const RegisterCommand registered({"list", "ARCHIVE", "print key, type and size of each entry", runList});

}  // namespace
}  // namespace assets
