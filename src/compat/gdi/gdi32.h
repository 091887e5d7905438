// The gdi32 operations the font atlas build calls: a memory DC with a 32-bit DIB section, one TrueType
// font chosen by face name, glyph extents, and one anti-aliased line of text drawn into the DIB. Built on
// fontconfig (face choice) and FreeType (metrics, hinting, coverage). Not a general GDI: only MM_TEXT,
// top-left alignment, an opaque cell, 32-bit BI_RGB bitmaps, and the upright, default-width fonts asked
// for here; anything else is refused (NULL, FALSE or GDI_ERROR) rather than drawn wrongly.
#pragma once

#include "compat/win32/win32_types.h"

using COLORREF = DWORD;  // 0x00BBGGRR
using INT = int;

// Opaque handles: each points at a private record of this stand-in. HGDIOBJ is untyped, as in Win32.
struct GdiDeviceContext;
struct GdiBitmap;
struct GdiFont;
using HDC = GdiDeviceContext*;
using HBITMAP = GdiBitmap*;
using HFONT = GdiFont*;
using HGDIOBJ = void*;

struct SIZE {
  LONG cx, cy;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: top-down rows
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr int MM_TEXT = 1;

// GetDeviceCaps indices
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

// CreateFontA values
constexpr int FW_NORMAL = 400;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD OUT_DEFAULT_PRECIS = 0;
constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
constexpr DWORD ANTIALIASED_QUALITY = 4;
constexpr DWORD VARIABLE_PITCH = 2;

// Text alignment and ExtTextOut options
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

constexpr UINT GDI_ERROR = 0xFFFFFFFF;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// A memory DC starts with MM_TEXT, black text on a white background, top-left alignment and nothing
// selected (SelectObject returns NULL for the first bitmap or font, where GDI returns its stock object).
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

// 32 bits per pixel, BI_RGB, one plane; the pixels are zeroed, bytes blue, green, red, 0.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);

int SetMapMode(HDC dc, int mode);                  // only MM_TEXT; returns the previous mode, 0 if refused
int GetDeviceCaps(HDC dc, int index);              // LOGPIXELSX and LOGPIXELSY are 96, fixed
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);      // a bitmap or a font; returns the one it replaces
BOOL DeleteObject(HGDIOBJ object);                 // FALSE while the object is selected into a DC

// Height < 0: em height in pixels (GDI's "character height"); height > 0: ascent + descent. The face is
// fontconfig's best scalable match for the name, weight and italic flag; NULL if there is none, or if a
// width, escapement, orientation, underline or strike-out is asked for.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
UINT SetTextAlign(HDC dc, UINT align);  // only TA_TOP | TA_LEFT | TA_NOUPDATECP (0)

// Both text calls need a font selected into the DC (ExtTextOutA a bitmap too); FALSE otherwise.
// cx: the sum of the characters' hinted advances; cy: the font's ascent + descent.
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size);
// Draws the characters with (x, y) the top-left of their cell: the cell is filled with the background
// colour, then each glyph's anti-aliased coverage blends the text colour over it, clipped to the bitmap.
// Bytes are Latin-1 code points; a character the font lacks draws as its .notdef glyph. Only a null
// rectangle and null spacing array are accepted.
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const INT* dx);

// kernel32's MulDiv lives here too: the font build is its only user. a * b / c rounded half away from
// zero, -1 when c is 0 or the result does not fit.
int MulDiv(int a, int b, int c);
