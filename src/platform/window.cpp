#include "platform/window.h"

int g_windowed = 0;
WNDCLASSEXA g_windowClass = {};
HWND g_mainWindow = nullptr;

namespace {

WPARAM g_pressedKey = 0;
bool g_quitRequested = false;

}  // namespace

void createMainWindow(const char* title, int width, int height) {
  g_windowClass = WNDCLASSEXA{};
  g_windowClass.cbSize = 48;  // the record's size in the 32-bit layout the presentation was made for
  g_windowClass.style = CS_CLASSDC;
  g_windowClass.lpfnWndProc = mainWindowProc;
  g_windowClass.cbClsExtra = 0;
  g_windowClass.cbWndExtra = 0;
  g_windowClass.hInstance = GetModuleHandleA(nullptr);
  g_windowClass.hIcon = nullptr;
  g_windowClass.hCursor = nullptr;
  g_windowClass.hbrBackground = nullptr;
  g_windowClass.lpszMenuName = nullptr;
  g_windowClass.lpszClassName = "MD3D";
  g_windowClass.hIconSm = nullptr;
  RegisterClassExA(&g_windowClass);

  // The outer size is the back-buffer size; it is not enlarged for borders and caption.
  const DWORD exStyle = g_windowed == 0 ? WS_EX_TOPMOST : 0;
  g_mainWindow = CreateWindowExA(exStyle, "MD3D", title, WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr,
                                 nullptr, g_windowClass.hInstance, nullptr);
}

HWND mainWindowHandle() { return g_mainWindow; }

namespace {

bool isSwallowedSystemCommand(WPARAM command) {
  // Compared as it comes, low four bits included.
  return command == SC_SIZE || command == SC_MOVE || command == SC_MAXIMIZE || command == SC_KEYMENU ||
         command == SC_MONITORPOWER;
}

}  // namespace

LRESULT mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
    case WM_SETCURSOR:
      if (g_windowed == 0) SetCursor(nullptr);
      return 1;
    case WM_NCHITTEST:
      if (g_windowed == 0) return HTCLIENT;
      return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        PostQuitMessage(0);
      } else if ((lParam & 0x40000000) == 0) {
        g_pressedKey = wParam;  // held keys' auto-repeats are not presses
      }
      return 0;
    case WM_SYSCOMMAND:
      if (g_windowed == 0 && isSwallowedSystemCommand(wParam)) return 1;
      return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

int pumpOneMessage() {
  MSG msg = {};
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) == FALSE) return PUMP_CONTINUE;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  if (msg.message != WM_QUIT) return PUMP_CONTINUE;
  g_quitRequested = true;
  return PUMP_QUIT;
}

bool quitRequested() { return g_quitRequested; }

void forgetQuitRequest() { g_quitRequested = false; }

WPARAM takePressedKey() {
  const WPARAM key = g_pressedKey;
  g_pressedKey = 0;
  return key;
}

void unregisterMainWindowClass() { UnregisterClassA("MD3D", g_windowClass.hInstance); }
