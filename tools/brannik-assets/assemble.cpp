#include "brannik-assets/assemble.h"

#include "brannik-assets/music_entries.h"
#include "brannik-assets/picture_pack.h"
#include "texgen/program_text.h"

namespace assets {

namespace {

// "RULL" is never read by the presentation; a short marker keeps its place in the archive.
std::vector<uint8_t> rullPlaceholder() {
  const std::string text = "brannik: mesh slot, not used";
  return {text.begin(), text.end()};
}

}  // namespace

bool assembleArchive(const std::string& assetsDir, std::vector<BlobEntry>* entries, std::string* error) {
  entries->clear();
  std::vector<uint8_t> song, drum;
  if (!buildSongEntry(assetsDir, &song, error) || !buildDrumEntry(assetsDir, &drum, error)) return false;
  entries->push_back({makeFourCC('S', 'O', 'N', 'G'), 'R', song});
  entries->push_back({makeFourCC('D', 'R', 'U', 'M'), 'R', drum});
  entries->push_back({makeFourCC('R', 'U', 'L', 'L'), 'R', rullPlaceholder()});

  const std::string programsPath = assetsDir + "/textures.txt";
  std::vector<uint8_t> text;
  if (!readFile(programsPath, &text, error)) return false;
  std::vector<CompiledTexture> textures;
  if (!compileTexturePrograms(std::string(text.begin(), text.end()), programsPath, &textures, error)) return false;
  for (const CompiledTexture& texture : textures) entries->push_back({texture.key, 'T', texture.program});

  std::vector<uint8_t> picture;
  std::string report;
  if (!packPictureFile(assetsDir + "/picture.png", &picture, &report, error)) return false;
  entries->push_back({makeFourCC('A', 'U', 'M', 'P'), 'P', picture});
  if (entries->size() > 255) {
    *error = programsPath + ": too many entries for one archive (at most 255)";
    return false;
  }
  return true;
}

}  // namespace assets
