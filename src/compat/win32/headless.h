// Port additions to the user32 stand-in: how windows are realised on this machine.
// Headless windows exist and take messages but show nothing (capture mode and tests); otherwise a window
// is an SDL window, full-screen on the desktop unless the user asked for a desktop window.
#pragma once

#include <string>

#include "compat/win32/win32_types.h"

struct SDL_Window;

namespace win32compat {

void setHeadless(bool headless);
bool headless();

// Realise the next windows as resizable desktop windows instead of full-screen ones.
void setDesktopWindowed(bool windowed);

// The SDL window behind a window handle; null for a headless window or an invalid handle.
SDL_Window* sdlWindow(HWND window);

// Why the last CreateWindowExA returned null (empty when it did not fail).
const std::string& lastWindowError();

// Drops every queued message, the quit flag and every window and class (tests only).
void resetUser32ForTests();

}  // namespace win32compat
