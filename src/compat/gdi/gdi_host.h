// Port addition to the gdi32 stand-in (not a GDI name): how many DCs, bitmaps and fonts are alive, so
// tests can see that a caller deleted everything it made. The presentation never calls it.
#pragma once

namespace gdicompat {

int liveObjectCount();

}  // namespace gdicompat
