// The archive blob built from assets/ at build time and compiled into the program as a byte array (the
// definition is generated; the asset tool itself does not link it).
#pragma once

#include <cstddef>
#include <cstdint>

extern const uint8_t g_archiveBlob[];
extern const size_t g_archiveBlobSize;
