// Compiles the assets folder into the archive's thirteen entries, in archive order: "SONG", "DRUM",
// "RULL" (raw), the nine texture programs of textures.txt, and the picture "AUMP" from picture.png.
#pragma once

#include <string>
#include <vector>

#include "brannik-assets/blob_io.h"

namespace assets {

bool assembleArchive(const std::string& assetsDir, std::vector<BlobEntry>* entries, std::string* error);

}  // namespace assets
