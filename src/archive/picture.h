// The packed-picture decoder: turns a 'P' entry's stored bytes (one bit per pixel, or 16 colours through
// a palette with repeated rows) into 32-bit 0xAARRGGBB pixels. Reads only inside the stored bytes: what
// a short payload lacks decodes as 0. Pictures above 4096 x 4096 are refused (no pixels).
#pragma once

#include "archive/archive.h"

constexpr uint8_t kPictureFormatBits = '1';
constexpr uint8_t kPictureFormatPalette = '2';
constexpr int kPicturePaletteOffset = 5;
constexpr int kPictureRowsOffset = 69;  // after the size word, the format byte and 16 palette words
constexpr int kPictureMaxSide = 4096;

// Sets the entry's pictureSize, dataSize and data from its storedData and storedSize.
void decodePackedPicture(ArchiveEntry* entry);
