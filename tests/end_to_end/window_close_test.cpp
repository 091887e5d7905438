// Closing the window from the desktop (the window manager's close button sends WM_DELETE_WINDOW) while
// the opening card is up ends the program cleanly with exit 0. Under Xvfb, with no window manager,
// the test sends the message itself.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "capture_files.h"
#include "virtual_display.h"

// After gtest: Xlib's macros (None, Bool, Status) would break its headers.
#include <X11/Xlib.h>

namespace {

namespace fs = std::filesystem;

// The top-level window titled `title`, or 0.
Window findWindow(Display* display, Window parent, const char* title) {
  Window root = 0, parentOut = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, parent, &root, &parentOut, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      if (std::string(name) == title) found = children[i];
      XFree(name);
    }
    if (found == 0) found = findWindow(display, children[i], title);
  }
  if (children != nullptr) XFree(children);
  return found;
}

void sendDeleteWindow(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

std::string readText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(LiveMode, ClosingTheWindowDuringTheOpeningCardExitsWith0) {
  if (!virtualDisplayToolsInstalled()) GTEST_SKIP() << "Xvfb, xdotool or xwd is not installed";
  VirtualDisplay server;
  ASSERT_TRUE(server.start()) << "Xvfb did not start";
  Display* x = XOpenDisplay(server.display().c_str());
  ASSERT_NE(x, nullptr);

  const fs::path log = fs::temp_directory_path() / ("brannik_e2e_close_" + std::to_string(getpid()) + ".log");
  const std::string code = log.string() + ".code";
  server.run("sh -c '" + std::string(BRANNIK_BINARY) + " --window --trace " +
             log.string() + ".csv >" + log.string() + " 2>&1; echo $? >" + code + "' >/dev/null 2>&1 &");
  // The window appears with the opening card; close it at once, well inside the second of lead-in.
  Window window = 0;
  for (int i = 0; i < 300 && window == 0; ++i) {
    window = findWindow(x, DefaultRootWindow(x), "ZAQ");
    if (window == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_NE(window, 0u) << "the window never appeared";
  sendDeleteWindow(x, window);

  bool ended = false;
  for (int i = 0; i < 100 && !ended; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ended = fs::exists(code) && fs::file_size(code) > 0;
  }
  if (!ended) runCommand("pkill -f '^" + std::string(BRANNIK_BINARY) + " --window'");
  XCloseDisplay(x);
  ASSERT_TRUE(ended) << "still running 10 s after the close: " << readText(log);
  EXPECT_EQ(readText(code), "0\n") << readText(log);
  // No frame of the presentation itself was drawn: the close came during the card.
  EXPECT_EQ(readTrace(log.string() + ".csv").size(), 0u);
  fs::remove(log);
  fs::remove(code);
  fs::remove(log.string() + ".csv");
}

}  // namespace
