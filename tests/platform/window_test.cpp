// The window procedure's answers and the one-message-per-call pump, on a headless window.
#include <gtest/gtest.h>

#include "compat/win32/headless.h"
#include "platform/window.h"

namespace {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win32compat::resetUser32ForTests();
    win32compat::setHeadless(true);
    g_windowed = 0;
    createMainWindow("test", 640, 480);
    ASSERT_NE(g_mainWindow, nullptr);
  }
  void TearDown() override { win32compat::resetUser32ForTests(); }

  // Pumps until the queue is empty; returns how many calls it took and whether one returned PUMP_QUIT.
  static int drain(bool* quit) {
    int calls = 0;
    MSG peek;
    *quit = false;
    while (PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE) == TRUE) {
      ++calls;
      if (pumpOneMessage() == PUMP_QUIT) *quit = true;
    }
    return calls;
  }
};

TEST_F(WindowTest, ClassRecordIsTheSpecifiedOne) {
  EXPECT_EQ(g_windowClass.cbSize, 48u);
  EXPECT_EQ(g_windowClass.style, CS_CLASSDC);
  EXPECT_EQ(g_windowClass.lpfnWndProc, &mainWindowProc);
  EXPECT_STREQ(g_windowClass.lpszClassName, "MD3D");
  EXPECT_EQ(g_windowClass.hCursor, nullptr);
  EXPECT_EQ(g_windowClass.hInstance, GetModuleHandleA(nullptr));
  EXPECT_EQ(mainWindowHandle(), g_mainWindow);
  RECT rect;
  ASSERT_EQ(GetClientRect(g_mainWindow, &rect), TRUE);
  EXPECT_EQ(rect.right, 640);
  EXPECT_EQ(rect.bottom, 480);
}

TEST_F(WindowTest, EmptyQueueContinuesWithoutBlocking) {
  EXPECT_EQ(pumpOneMessage(), PUMP_CONTINUE);
  EXPECT_EQ(pumpOneMessage(), PUMP_CONTINUE);
}

TEST_F(WindowTest, EscapeQuitsOnTheCallThatTakesWmQuit) {
  PostMessageA(g_mainWindow, WM_KEYDOWN, 'A', 0);
  PostMessageA(g_mainWindow, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(g_mainWindow, WM_MOUSEMOVE, 0, 0);
  // One message per call: the key 'A', Escape (posts quit), the mouse move, then WM_QUIT.
  EXPECT_EQ(pumpOneMessage(), PUMP_CONTINUE);
  EXPECT_EQ(pumpOneMessage(), PUMP_CONTINUE);
  EXPECT_EQ(pumpOneMessage(), PUMP_CONTINUE);
  EXPECT_EQ(pumpOneMessage(), PUMP_QUIT);
  EXPECT_EQ(pumpOneMessage(), PUMP_CONTINUE);  // the quit is taken once
}

// A pump that ignores its answer (the start-up's) must not lose the quit: it stays requested.
TEST_F(WindowTest, AQuitTakenByAnyPumpStaysRequested) {
  forgetQuitRequest();
  PostMessageA(g_mainWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(pumpOneMessage(), PUMP_CONTINUE);  // WM_CLOSE posts the quit
  EXPECT_FALSE(quitRequested());
  pumpOneMessage();  // takes WM_QUIT, answer ignored
  EXPECT_EQ(pumpOneMessage(), PUMP_CONTINUE);
  EXPECT_TRUE(quitRequested());
  forgetQuitRequest();
}

TEST_F(WindowTest, OtherKeysDoNothing) {
  EXPECT_EQ(mainWindowProc(g_mainWindow, WM_KEYDOWN, VK_SPACE, 0), 0);
  bool quit;
  drain(&quit);
  EXPECT_FALSE(quit);
}

TEST_F(WindowTest, CloseAndDestroyPostQuitWithoutDestroyingTheWindow) {
  PostMessageA(g_mainWindow, WM_CLOSE, 0, 0);
  bool quit;
  EXPECT_EQ(drain(&quit), 2);
  EXPECT_TRUE(quit);
  EXPECT_EQ(IsWindow(g_mainWindow), TRUE);

  EXPECT_EQ(mainWindowProc(g_mainWindow, WM_DESTROY, 0, 0), 0);
  drain(&quit);
  EXPECT_TRUE(quit);
}

TEST_F(WindowTest, AltF4ClosesLikeEscape) {
  // The default procedure turns Alt+F4 into SC_CLOSE, which is not swallowed and becomes WM_CLOSE.
  PostMessageA(g_mainWindow, WM_SYSKEYDOWN, VK_F4, 0);
  bool quit;
  drain(&quit);
  EXPECT_TRUE(quit);
  EXPECT_EQ(IsWindow(g_mainWindow), TRUE);
}

TEST_F(WindowTest, FullScreenSwallowsExactlyTheListedSystemCommands) {
  for (WPARAM command : {SC_SIZE, SC_MOVE, SC_MAXIMIZE, SC_KEYMENU, SC_MONITORPOWER}) {
    EXPECT_EQ(mainWindowProc(g_mainWindow, WM_SYSCOMMAND, command, 0), 1) << std::hex << command;
  }
  // The low four bits are not masked: SC_SIZE + 1 is not swallowed and reaches the default procedure.
  EXPECT_EQ(mainWindowProc(g_mainWindow, WM_SYSCOMMAND, SC_SIZE + 1, 0), 0);
  EXPECT_EQ(mainWindowProc(g_mainWindow, WM_SYSCOMMAND, SC_MINIMIZE, 0), 0);
  bool quit;
  drain(&quit);
  EXPECT_FALSE(quit);
}

TEST_F(WindowTest, WindowedPassesSystemCommandsAndHitTestsOn) {
  g_windowed = 1;
  EXPECT_EQ(mainWindowProc(g_mainWindow, WM_SYSCOMMAND, SC_KEYMENU, 0), 0);
  EXPECT_EQ(mainWindowProc(g_mainWindow, WM_SYSCOMMAND, SC_MONITORPOWER, 0), 0);
  EXPECT_EQ(mainWindowProc(g_mainWindow, WM_NCHITTEST, 0, 0), HTCLIENT);
  EXPECT_EQ(mainWindowProc(g_mainWindow, WM_SETCURSOR, 0, 0), 1);
}

TEST_F(WindowTest, FullScreenHidesThePointerAndClaimsTheClientArea) {
  SetCursor(reinterpret_cast<HCURSOR>(0x1));
  EXPECT_EQ(mainWindowProc(g_mainWindow, WM_SETCURSOR, 0, 0), 1);
  EXPECT_EQ(SetCursor(nullptr), nullptr);  // the procedure had already set the null cursor
  EXPECT_EQ(mainWindowProc(g_mainWindow, WM_NCHITTEST, 0, 0), HTCLIENT);
}

TEST_F(WindowTest, UnregisterRemovesTheClass) {
  unregisterMainWindowClass();
  EXPECT_EQ(UnregisterClassA("MD3D", g_windowClass.hInstance), FALSE);
  // A new window of the class can no longer be made.
  EXPECT_EQ(CreateWindowExA(0, "MD3D", "x", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

}  // namespace
