// user32 window stand-in: window classes, windows (SDL or headless), the default window procedure,
// cursor and message box.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "compat/win32/headless.h"
#include "compat/win32/window_record.h"

struct Win32Instance {
  int unused;
};

namespace {

bool g_headless = false;
bool g_desktopWindowed = false;
bool g_videoStarted = false;
std::string g_lastError;
std::map<std::string, WNDCLASSEXA> g_classes;
std::vector<std::unique_ptr<Win32Window>> g_windows;
Win32Instance g_module{0};

bool isLive(HWND window) {
  for (const auto& w : g_windows) {
    if (w.get() == window) return true;
  }
  return false;
}

bool startVideo() {
  if (g_videoStarted) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    g_lastError = std::string("cannot open a display: ") + SDL_GetError();
    return false;
  }
  // Without a display SDL falls back to drivers that show nothing; only take those when asked to by name.
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* requested = SDL_getenv("SDL_VIDEODRIVER");
  const bool invisible = driver != nullptr && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
  if (invisible && (requested == nullptr || SDL_strcasecmp(requested, driver) != 0)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    g_lastError = "cannot open a display: no X11 or Wayland display is available";
    return false;
  }
  g_videoStarted = true;
  return true;
}

}  // namespace

namespace win32compat {

void setHeadless(bool headless) { g_headless = headless; }
bool headless() { return g_headless; }
void setDesktopWindowed(bool windowed) { g_desktopWindowed = windowed; }
const std::string& lastWindowError() { return g_lastError; }

SDL_Window* sdlWindow(HWND window) { return isLive(window) ? window->sdl : nullptr; }

HWND activeWindow() { return g_windows.empty() ? nullptr : g_windows.back().get(); }

HWND windowForSdlId(uint32_t id) {
  for (const auto& w : g_windows) {
    if (w->sdl != nullptr && w->sdlId == id) return w.get();
  }
  return nullptr;
}

bool videoStarted() { return g_videoStarted; }

void resetWindowsForTests() {
  for (const auto& w : g_windows) {
    if (w->sdl != nullptr) SDL_DestroyWindow(w->sdl);
  }
  g_windows.clear();
  g_classes.clear();
  g_lastError.clear();
}

}  // namespace win32compat

HMODULE GetModuleHandleA(LPCSTR moduleName) { return moduleName == nullptr ? &g_module : nullptr; }

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
  // 48 is the record's size in the 32-bit layout; both that and this build's size are accepted.
  if (windowClass == nullptr || (windowClass->cbSize != 48 && windowClass->cbSize != sizeof(WNDCLASSEXA)) ||
      windowClass->lpszClassName == nullptr || windowClass->lpfnWndProc == nullptr) {
    return 0;
  }
  if (g_classes.count(windowClass->lpszClassName) != 0) return 0;  // already registered
  g_classes[windowClass->lpszClassName] = *windowClass;
  return static_cast<ATOM>(0xC000 + g_classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (className == nullptr) return FALSE;
  return g_classes.erase(className) != 0 ? TRUE : FALSE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
  g_lastError.clear();
  auto found = className != nullptr ? g_classes.find(className) : g_classes.end();
  if (found == g_classes.end()) {
    g_lastError = "window class not registered";
    return nullptr;
  }
  auto window = std::make_unique<Win32Window>();
  window->className = className;
  window->proc = found->second.lpfnWndProc;
  window->style = style;
  window->exStyle = exStyle;
  window->width = width;
  window->height = height;

  if (!g_headless) {
    if (!startVideo()) return nullptr;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    int sdlX = x == 0 ? SDL_WINDOWPOS_CENTERED : x;
    int sdlY = y == 0 ? SDL_WINDOWPOS_CENTERED : y;
    int sdlWidth = width;
    int sdlHeight = height;
    SDL_Rect desktop;
    if (g_desktopWindowed) {
      flags |= SDL_WINDOW_RESIZABLE;
      // A back buffer larger than the desktop (a scaled picture) opens in a window that fits it, at
      // the same shape; the picture is scaled into whatever size the window has.
      if (SDL_GetDisplayUsableBounds(0, &desktop) == 0 && (sdlWidth > desktop.w || sdlHeight > desktop.h)) {
        const double fit =
            std::min(static_cast<double>(desktop.w) / sdlWidth, static_cast<double>(desktop.h) / sdlHeight);
        sdlWidth = std::max(1, static_cast<int>(sdlWidth * fit * 0.9));
        sdlHeight = std::max(1, static_cast<int>(sdlHeight * fit * 0.9));
      }
    } else {
      flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
      // Made at the desktop's size too, so it covers the screen even where no window manager honours
      // the full-screen request.
      if (SDL_GetDisplayBounds(0, &desktop) == 0) {
        sdlX = desktop.x;
        sdlY = desktop.y;
        sdlWidth = desktop.w;
        sdlHeight = desktop.h;
      }
    }
    SDL_Window* sdl =
        SDL_CreateWindow(windowName != nullptr ? windowName : "", sdlX, sdlY, sdlWidth, sdlHeight, flags);
    if (sdl == nullptr) {
      g_lastError = std::string("cannot create a window: ") + SDL_GetError();
      return nullptr;
    }
    window->sdl = sdl;
    window->sdlId = SDL_GetWindowID(sdl);
  }
  g_windows.push_back(std::move(window));
  return g_windows.back().get();
}

BOOL DestroyWindow(HWND window) {
  if (!isLive(window)) return FALSE;
  window->proc(window, WM_DESTROY, 0, 0);
  for (auto it = g_windows.begin(); it != g_windows.end(); ++it) {
    if (it->get() == window) {
      if (window->sdl != nullptr) SDL_DestroyWindow(window->sdl);
      g_windows.erase(it);
      break;
    }
  }
  return TRUE;
}

BOOL IsWindow(HWND window) { return isLive(window) ? TRUE : FALSE; }

BOOL ShowWindow(HWND window, int command) {
  if (!isLive(window)) return FALSE;
  const BOOL wasVisible = window->visible ? TRUE : FALSE;
  window->visible = command != SW_HIDE;
  if (window->sdl != nullptr) {
    if (window->visible) {
      SDL_ShowWindow(window->sdl);
      SDL_RaiseWindow(window->sdl);
    } else {
      SDL_HideWindow(window->sdl);
    }
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND window) { return isLive(window) ? TRUE : FALSE; }

BOOL GetClientRect(HWND window, RECT* rect) {
  if (!isLive(window) || rect == nullptr) return FALSE;
  int w = window->width;
  int h = window->height;
  if (window->sdl != nullptr) SDL_GetWindowSize(window->sdl, &w, &h);
  *rect = RECT{0, 0, w, h};
  return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_SETCURSOR:
      SetCursor(nullptr);  // the class has no cursor of its own
      return FALSE;
    case WM_SYSKEYDOWN:
      // Alt+F4 asks the window to close.
      if (wParam == VK_F4 && isLive(window)) window->proc(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      if (!isLive(window)) return 0;
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          window->proc(window, WM_CLOSE, 0, 0);
          break;
        case SC_MAXIMIZE:
          if (window->sdl != nullptr) SDL_MaximizeWindow(window->sdl);
          break;
        case SC_MINIMIZE:
          if (window->sdl != nullptr) SDL_MinimizeWindow(window->sdl);
          break;
        case SC_RESTORE:
          if (window->sdl != nullptr) SDL_RestoreWindow(window->sdl);
          break;
        default:
          break;
      }
      return 0;
    default:
      (void)lParam;
      return 0;
  }
}

HCURSOR SetCursor(HCURSOR cursor) {
  static HCURSOR current = nullptr;
  HCURSOR previous = current;
  current = cursor;
  if (g_videoStarted) SDL_ShowCursor(cursor == nullptr ? SDL_DISABLE : SDL_ENABLE);
  return previous;
}

int MessageBoxA(HWND window, LPCSTR text, LPCSTR caption, UINT) {
  const char* title = caption != nullptr ? caption : "Error";
  std::fprintf(stderr, "%s\n", text != nullptr ? text : "");
  std::fflush(stderr);
  // A box only where a display is up: without one SDL fails at once and standard error carries the text.
  if (g_videoStarted && !g_headless) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text != nullptr ? text : "",
                             win32compat::sdlWindow(window));
  }
  return IDOK;
}
