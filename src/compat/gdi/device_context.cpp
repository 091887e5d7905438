// Memory DCs, DIB sections, object selection and deletion, the DC's colours and modes, and MulDiv.
#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <vector>

#include "compat/gdi/gdi_host.h"
#include "compat/gdi/gdi_objects.h"

namespace {

// Captures must not depend on the desktop: the DC reports the classic 96 DPI whatever the display.
constexpr int kFixedDpi = 96;
// Larger DIBs are refused rather than allocated.
constexpr LONG kMaxSide = 16384;

std::vector<std::unique_ptr<GdiDeviceContext>> g_dcs;
std::vector<std::unique_ptr<GdiBitmap>> g_bitmaps;
std::vector<std::unique_ptr<GdiFont>> g_fonts;

template <class Record>
Record* findIn(const std::vector<std::unique_ptr<Record>>& records, const void* handle) {
  if (handle == nullptr) return nullptr;
  for (const std::unique_ptr<Record>& record : records) {
    if (record.get() == handle) return record.get();
  }
  return nullptr;
}

template <class Record>
void eraseFrom(std::vector<std::unique_ptr<Record>>& records, const Record* record) {
  records.erase(std::find_if(records.begin(), records.end(),
                             [record](const std::unique_ptr<Record>& r) { return r.get() == record; }));
}

GdiDeviceContext* findDC(HDC dc) { return findIn(g_dcs, dc); }

}  // namespace

namespace gdicompat {

HBITMAP registerBitmap(std::unique_ptr<GdiBitmap> bitmap) {
  g_bitmaps.push_back(std::move(bitmap));
  return g_bitmaps.back().get();
}

HFONT registerFont(std::unique_ptr<GdiFont> font) {
  g_fonts.push_back(std::move(font));
  return g_fonts.back().get();
}

GdiBitmap* findBitmap(HGDIOBJ object) { return findIn(g_bitmaps, object); }
GdiFont* findFont(HGDIOBJ object) { return findIn(g_fonts, object); }
bool isLiveDC(HDC dc) { return findDC(dc) != nullptr; }

int liveObjectCount() { return static_cast<int>(g_dcs.size() + g_bitmaps.size() + g_fonts.size()); }

}  // namespace gdicompat

// Only memory DCs compatible with the screen exist here, so the argument is not looked at.
HDC CreateCompatibleDC(HDC) {
  g_dcs.push_back(std::make_unique<GdiDeviceContext>());
  return g_dcs.back().get();
}

// The objects selected into the DC are not deleted; they become free to delete.
BOOL DeleteDC(HDC dc) {
  GdiDeviceContext* record = findDC(dc);
  if (record == nullptr) return FALSE;
  if (record->bitmap != nullptr) --record->bitmap->selections;
  if (record->font != nullptr) --record->font->selections;
  eraseFrom(g_dcs, record);
  return TRUE;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr || usage != DIB_RGB_COLORS || section != nullptr) return nullptr;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 || header.biBitCount != 32 ||
      header.biCompression != BI_RGB || header.biWidth <= 0 || header.biWidth > kMaxSide || header.biHeight == 0 ||
      header.biHeight > kMaxSide || header.biHeight < -kMaxSide) {
    return nullptr;
  }
  auto bitmap = std::make_unique<GdiBitmap>();
  bitmap->width = header.biWidth;
  bitmap->height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  bitmap->topDown = header.biHeight < 0;
  bitmap->pixels.assign(static_cast<size_t>(bitmap->width) * static_cast<size_t>(bitmap->height), 0u);
  if (bits != nullptr) *bits = bitmap->pixels.data();
  return gdicompat::registerBitmap(std::move(bitmap));
}

int SetMapMode(HDC dc, int mode) {
  GdiDeviceContext* record = findDC(dc);
  if (record == nullptr || mode != MM_TEXT) return 0;
  const int previous = record->mapMode;
  record->mapMode = mode;
  return previous;
}

int GetDeviceCaps(HDC dc, int index) {
  if (findDC(dc) == nullptr) return 0;
  return index == LOGPIXELSX || index == LOGPIXELSY ? kFixedDpi : 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  GdiDeviceContext* record = findDC(dc);
  if (record == nullptr) return nullptr;
  if (GdiBitmap* bitmap = gdicompat::findBitmap(object)) {
    // A bitmap can be selected into one memory DC at a time.
    if (bitmap->selections > 0 && record->bitmap != bitmap) return nullptr;
    GdiBitmap* previous = record->bitmap;
    if (previous != nullptr) --previous->selections;
    ++bitmap->selections;
    record->bitmap = bitmap;
    return previous;
  }
  if (GdiFont* font = gdicompat::findFont(object)) {
    GdiFont* previous = record->font;
    if (previous != nullptr) --previous->selections;
    ++font->selections;
    record->font = font;
    return previous;
  }
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (GdiBitmap* bitmap = gdicompat::findBitmap(object)) {
    if (bitmap->selections > 0) return FALSE;
    eraseFrom(g_bitmaps, bitmap);
    return TRUE;
  }
  if (GdiFont* font = gdicompat::findFont(object)) {
    if (font->selections > 0) return FALSE;
    eraseFrom(g_fonts, font);
    return TRUE;
  }
  return FALSE;
}

namespace {

// Sets one of the DC's colours; the previous one, or CLR_INVALID for a dead DC.
COLORREF replaceColor(HDC dc, COLORREF GdiDeviceContext::*member, COLORREF color) {
  GdiDeviceContext* record = findDC(dc);
  if (record == nullptr) return CLR_INVALID;
  const COLORREF previous = record->*member;
  record->*member = color & 0x00FFFFFF;
  return previous;
}

}  // namespace

COLORREF SetTextColor(HDC dc, COLORREF color) { return replaceColor(dc, &GdiDeviceContext::textColor, color); }
COLORREF SetBkColor(HDC dc, COLORREF color) { return replaceColor(dc, &GdiDeviceContext::bkColor, color); }

UINT SetTextAlign(HDC dc, UINT align) {
  GdiDeviceContext* record = findDC(dc);
  if (record == nullptr || align != (TA_TOP | TA_LEFT | TA_NOUPDATECP)) return GDI_ERROR;
  const UINT previous = record->textAlign;
  record->textAlign = align;
  return previous;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  const int64_t magnitude = ((product < 0 ? -product : product) + std::abs(static_cast<int64_t>(c)) / 2) /
                            std::abs(static_cast<int64_t>(c));
  const int64_t quotient = (product < 0) != (c < 0) ? -magnitude : magnitude;
  if (quotient > INT32_MAX || quotient < INT32_MIN) return -1;
  return static_cast<int>(quotient);
}
