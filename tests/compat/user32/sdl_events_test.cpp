// SDL events become window messages: keys with virtual-key codes, Alt combinations as system keys, the
// close button as WM_CLOSE, pointer motion as WM_SETCURSOR then WM_MOUSEMOVE. Runs on SDL's dummy video
// driver, which needs no display.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "compat/win32/headless.h"
#include "compat/win32/user32.h"

namespace {

std::vector<MSG> g_seen;

LRESULT recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  g_seen.push_back(msg);
  return DefWindowProcA(window, message, wParam, lParam);
}

class SdlEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    win32compat::resetUser32ForTests();
    win32compat::setHeadless(false);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "T";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    window_ = CreateWindowExA(0, "T", "t", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr) << win32compat::lastWindowError();
    ASSERT_NE(win32compat::sdlWindow(window_), nullptr);
    sdlId_ = SDL_GetWindowID(win32compat::sdlWindow(window_));
    g_seen.clear();
  }
  void TearDown() override {
    win32compat::resetUser32ForTests();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    unsetenv("SDL_VIDEODRIVER");
  }

  void pushKey(Uint32 type, SDL_Keycode key, Uint16 mod) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = sdlId_;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
  }

  std::vector<MSG> takeAll() {
    std::vector<MSG> taken;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) == TRUE) {
      taken.push_back(msg);
      if (msg.message == WM_QUIT) break;
      DispatchMessageA(&msg);
    }
    return taken;
  }

  HWND window_ = nullptr;
  Uint32 sdlId_ = 0;
};

TEST_F(SdlEventsTest, KeysArriveWithVirtualKeyCodes) {
  pushKey(SDL_KEYDOWN, SDLK_ESCAPE, KMOD_NONE);
  pushKey(SDL_KEYUP, SDLK_ESCAPE, KMOD_NONE);
  pushKey(SDL_KEYDOWN, SDLK_q, KMOD_NONE);
  const auto msgs = takeAll();
  ASSERT_EQ(msgs.size(), 3u);
  EXPECT_EQ(msgs[0].message, WM_KEYDOWN);
  EXPECT_EQ(msgs[0].wParam, VK_ESCAPE);
  EXPECT_EQ(msgs[0].hwnd, window_);
  EXPECT_EQ(msgs[1].message, WM_KEYUP);
  EXPECT_EQ(msgs[2].wParam, static_cast<WPARAM>('Q'));
}

TEST_F(SdlEventsTest, AltF4BecomesASystemKeyThatClosesTheWindow) {
  pushKey(SDL_KEYDOWN, SDLK_F4, KMOD_LALT);
  takeAll();
  // The default procedure turns it into SC_CLOSE, then WM_CLOSE, which destroys the window.
  ASSERT_GE(g_seen.size(), 3u);
  EXPECT_EQ(g_seen[0].message, WM_SYSKEYDOWN);
  EXPECT_EQ(g_seen[1].message, WM_SYSCOMMAND);
  EXPECT_EQ(g_seen[1].wParam, SC_CLOSE);
  EXPECT_EQ(g_seen[2].message, WM_CLOSE);
  EXPECT_EQ(IsWindow(window_), FALSE);
}

TEST_F(SdlEventsTest, CloseButtonAndQuitRequestBecomeWmClose) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = sdlId_;
  SDL_PushEvent(&e);
  MSG msg;
  ASSERT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), TRUE);
  EXPECT_EQ(msg.message, WM_CLOSE);
  EXPECT_EQ(msg.hwnd, window_);

  e = SDL_Event{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
  ASSERT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), TRUE);
  EXPECT_EQ(msg.message, WM_CLOSE);
}

TEST_F(SdlEventsTest, PointerMotionAsksForTheCursorFirst) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = sdlId_;
  e.motion.x = 17;
  e.motion.y = 5;
  SDL_PushEvent(&e);
  const auto msgs = takeAll();
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0].message, WM_SETCURSOR);
  EXPECT_EQ(msgs[1].message, WM_MOUSEMOVE);
  EXPECT_EQ(msgs[1].lParam, (5 << 16) | 17);
}

TEST_F(SdlEventsTest, PostedMessagesAndQuitComeBeforeNewInput) {
  PostMessageA(window_, WM_NULL, 0, 0);
  PostQuitMessage(3);
  pushKey(SDL_KEYDOWN, SDLK_a, KMOD_NONE);
  MSG msg;
  ASSERT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), TRUE);
  EXPECT_EQ(msg.message, WM_NULL);
  ASSERT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), TRUE);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_EQ(msg.hwnd, nullptr);
  ASSERT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), TRUE);
  EXPECT_EQ(msg.message, WM_KEYDOWN);
  EXPECT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), FALSE);
}

TEST_F(SdlEventsTest, PeekWithoutRemoveLeavesTheMessage) {
  PostMessageA(window_, WM_NULL, 1, 0);
  MSG msg;
  ASSERT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE), TRUE);
  ASSERT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), TRUE);
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_EQ(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE), FALSE);
}

}  // namespace
