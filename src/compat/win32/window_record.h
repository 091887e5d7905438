// Private records behind the user32 handles, shared by the window and message files.
#pragma once

#include <string>

#include "compat/win32/user32.h"

struct SDL_Window;

struct Win32Window {
  std::string className;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  int width = 0;
  int height = 0;
  bool visible = false;
  SDL_Window* sdl = nullptr;  // null for a headless window
  uint32_t sdlId = 0;
};

namespace win32compat {

// The window created last, which receives the input translated from SDL events.
HWND activeWindow();
// Finds the window record for an SDL window id; null when none.
HWND windowForSdlId(uint32_t id);
// Whether SDL's video subsystem was brought up by CreateWindowExA.
bool videoStarted();
void resetWindowsForTests();

}  // namespace win32compat
