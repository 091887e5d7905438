// user32 message queue stand-in: one queue for the main thread, fed by PostMessageA and by SDL events
// translated into window messages at each PeekMessageA. WM_QUIT comes out, as on Windows, once the
// messages posted before it are taken.
#include <SDL.h>

#include <deque>

#include "compat/win32/headless.h"
#include "compat/win32/window_record.h"

namespace {

std::deque<MSG> g_queue;
bool g_quitPosted = false;
int g_quitCode = 0;

void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = SDL_GetTicks();
  g_queue.push_back(msg);
}

// SDL key to Windows virtual-key code; 0 for keys the presentation has no use for.
WPARAM virtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
  switch (key) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LALT:
    case SDLK_RALT: return VK_MENU;
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_TAB: return 0x09;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    default: return 0;
  }
}

HWND targetOf(Uint32 windowId) {
  HWND window = win32compat::windowForSdlId(windowId);
  return window != nullptr ? window : win32compat::activeWindow();
}

void translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      if (HWND window = win32compat::activeWindow()) post(window, WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        post(targetOf(event.window.windowID), WM_CLOSE, 0, 0);
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const WPARAM vk = virtualKey(event.key.keysym.sym);
      if (vk == 0) break;
      const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
      const bool down = event.type == SDL_KEYDOWN;
      const UINT message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
      post(targetOf(event.key.windowID), message, vk, event.key.repeat ? 0x40000001 : 1);
      break;
    }
    case SDL_MOUSEMOTION: {
      HWND window = targetOf(event.motion.windowID);
      post(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), HTCLIENT);
      post(window, WM_MOUSEMOVE, 0, (event.motion.y << 16) | (event.motion.x & 0xFFFF));
      break;
    }
    default:
      break;
  }
}

void pumpSdl() {
  if (!win32compat::videoStarted() || win32compat::headless()) return;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) translate(event);
}

}  // namespace

namespace win32compat {

void resetUser32ForTests() {
  g_queue.clear();
  g_quitPosted = false;
  g_quitCode = 0;
  resetWindowsForTests();
}

}  // namespace win32compat

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  (void)window;  // the program peeks at every window's messages
  (void)filterMin;
  (void)filterMax;
  if (msg == nullptr) return FALSE;
  if (g_queue.empty() && !g_quitPosted) pumpSdl();
  if (!g_queue.empty()) {
    *msg = g_queue.front();
    if ((removeFlags & PM_REMOVE) != 0) g_queue.pop_front();
    return TRUE;
  }
  if (g_quitPosted) {
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(g_quitCode);
    if ((removeFlags & PM_REMOVE) != 0) g_quitPosted = false;
    return TRUE;
  }
  return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  // Character messages are not needed by anything here; report whether a key message came in.
  return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr || IsWindow(msg->hwnd) == FALSE) return 0;
  return msg->hwnd->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && IsWindow(window) == FALSE) return FALSE;
  post(window, message, wParam, lParam);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  g_quitPosted = true;
  g_quitCode = exitCode;
}
