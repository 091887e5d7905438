// CreateFontA: fontconfig picks the face (its best scalable match for the name, weight and slant; a
// "Verdana" request gets whatever sans face the machine has), FreeType opens it at the asked pixel
// height. Glyph loading for the extent and drawing calls.
#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "compat/gdi/gdi_objects.h"

namespace {

// One FreeType library for all fonts: made with the first, done with the last.
FT_Library g_library = nullptr;
int g_fontCount = 0;

bool acquireLibrary() {
  if (g_library == nullptr && FT_Init_FreeType(&g_library) != 0) {
    g_library = nullptr;
    return false;
  }
  ++g_fontCount;
  return true;
}

struct FaceFile {
  std::string path;
  int index = 0;
};

// fontconfig keeps the configuration it parses on first use for the whole process; it is handed back
// at exit so that leak checkers see a clean process.
void finishFontconfigAtExit() {
  static const bool registered = std::atexit([] { FcFini(); }) == 0;
  (void)registered;
}

// fontconfig's best match, if it is a scalable face with a file.
bool matchFace(LPCSTR faceName, int weight, bool italic, FaceFile* face) {
  finishFontconfigAtExit();
  FcPattern* pattern = FcPatternCreate();
  if (faceName != nullptr && faceName[0] != '\0') {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName));
  }
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  // Weight 0 is FW_DONTCARE: the normal weight.
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight == 0 ? FW_NORMAL : weight));
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;

  FcBool scalable = FcFalse;
  FcChar8* path = nullptr;
  const bool found = FcPatternGetBool(match, FC_SCALABLE, 0, &scalable) == FcResultMatch && scalable == FcTrue &&
                     FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
  if (found) {
    face->path = reinterpret_cast<const char*>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &face->index) != FcResultMatch) face->index = 0;
  }
  FcPatternDestroy(match);
  return found;
}

// 26.6 pixels up to whole pixels.
int wholePixels(FT_Pos value) { return static_cast<int>((value + 63) >> 6); }

}  // namespace

// Every GdiFont took one reference on the library when it was made (CreateFontA).
GdiFont::~GdiFont() {
  if (face != nullptr) FT_Done_Face(face);
  if (--g_fontCount == 0) {
    FT_Done_FreeType(g_library);
    g_library = nullptr;
  }
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD, DWORD, DWORD, DWORD, DWORD, LPCSTR faceName) {
  if (height == 0 || width != 0 || escapement != 0 || orientation != 0 || underline != 0 || strikeOut != 0) {
    return nullptr;
  }
  FaceFile file;
  if (!matchFace(faceName, weight, italic != 0, &file)) return nullptr;
  if (!acquireLibrary()) return nullptr;
  auto font = std::make_unique<GdiFont>();
  if (FT_New_Face(g_library, file.path.c_str(), file.index, &font->face) != 0) {
    font->face = nullptr;
    return nullptr;
  }
  // GDI's negative height is the em height ("character height"), its positive height the cell height:
  // FreeType's nominal and cell size requests.
  FT_Size_RequestRec request{};
  request.type = height < 0 ? FT_SIZE_REQUEST_TYPE_NOMINAL : FT_SIZE_REQUEST_TYPE_CELL;
  request.height = static_cast<FT_Long>(std::abs(height)) * 64;
  if (FT_Request_Size(font->face, &request) != 0) return nullptr;
  font->ascent = wholePixels(font->face->size->metrics.ascender);
  font->descent = wholePixels(-font->face->size->metrics.descender);
  return gdicompat::registerFont(std::move(font));
}

namespace gdicompat {

FT_GlyphSlot loadGlyph(GdiFont& font, unsigned char c, bool render) {
  // Index 0 is the font's own .notdef glyph.
  const FT_UInt index = FT_Get_Char_Index(font.face, c);
  const FT_Int32 flags = FT_LOAD_NO_BITMAP | (render ? FT_LOAD_RENDER : 0);
  if (FT_Load_Glyph(font.face, index, flags) != 0) return nullptr;
  return font.face->glyph;
}

}  // namespace gdicompat
