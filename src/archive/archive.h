// The archive directory: the embedded blob split into typed, FourCC-keyed entries, each turned into its
// usable form (copied, picture unpacked, texture program run) the first time somebody asks for it.
// One directory per process; main thread only. Unlike the original design the loader is given the
// blob's length and never reads past it: a truncated entry ends the directory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/fourcc.h"

// Type characters of archive entries.
constexpr int32_t kEntryRaw = 'R';
constexpr int32_t kEntryRawM = 'M';
constexpr int32_t kEntryPicture = 'P';
constexpr int32_t kEntryTexture = 'T';

struct ArchiveEntry {
  uint32_t key;
  uint8_t* storedData;   // owned copy of the payload; released once materialised
  int32_t storedSize;
  uint8_t* data;         // owned materialised bytes; null until then (and for empty or unknown entries)
  int32_t dataSize;
  int32_t ready;         // 1 once materialised
  uint32_t pictureSize;  // 'P' only: height << 16 | width
  int32_t type;
};

// Builds the directory from a blob of `size` bytes, replacing (and freeing) any previous one.
void loadArchive(const uint8_t* blob, size_t size);

// The first entry with `key`, materialised on first use; null when no entry has it.
ArchiveEntry* findEntry(FourCC key);

// The directory in archive order, for the texture table and the tool. Entries are not materialised.
int32_t archiveEntryCount();
ArchiveEntry* archiveEntryAt(int32_t index);

// Frees every buffer and empties the directory (the program never needs to; tests and the tool do).
void releaseArchive();
