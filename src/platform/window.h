// The presentation window: class registration, creation, the window procedure and a message pump that
// handles at most one message per call. In full-screen it hides the pointer and swallows the system
// commands that would move, size or maximise it.
#pragma once

#include "compat/win32/user32.h"

constexpr int PUMP_CONTINUE = 66;
constexpr int PUMP_QUIT = 68;

extern int g_windowed;
extern WNDCLASSEXA g_windowClass;
extern HWND g_mainWindow;

void createMainWindow(const char* title, int width, int height);
HWND mainWindowHandle();
LRESULT mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
int pumpOneMessage();
// Whether any pump has taken WM_QUIT. The start-up's own pumps ignore what they take, so a window
// closed while the opening card is up would otherwise be forgotten and the presentation play on.
bool quitRequested();
void forgetQuitRequest();  // tests
// Port addition: the key of the last WM_KEYDOWN other than Escape since the previous call (auto-repeats
// of a held key excluded), or 0; the presentation's scene keys read it.
WPARAM takePressedKey();
void unregisterMainWindowClass();
