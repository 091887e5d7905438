// A virtual X server for the live-mode tests: Xvfb on a display of its own, stopped when the object
// goes. The tests skip when Xvfb, xdotool or xwd is not installed.
#pragma once

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "capture_files.h"

inline bool virtualDisplayToolsInstalled() {
  return runCommand("command -v Xvfb && command -v xdotool && command -v xwd") == 0;
}

class VirtualDisplay {
 public:
  // Starts the server and waits (up to five seconds) until it takes connections.
  bool start() {
    display_ = std::to_string(90 + (getpid() % 50));
    display_.insert(display_.begin(), ':');  // not ":" + ...: GCC 12 at -O3 warns falsely on that (-Wrestrict)
    std::string pid;
    runCommand("Xvfb " + display_ + " -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 & echo $!", &pid);
    pid_ = pid.substr(0, pid.find('\n'));
    for (int i = 0; i < 50; ++i) {
      if (run("xdotool getmouselocation") == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
  ~VirtualDisplay() {
    if (!pid_.empty()) runCommand("kill " + pid_);
  }

  const std::string& display() const { return display_; }
  // The environment a program on this display runs with (no sound device: SDL's dummy driver).
  std::string env() const { return "DISPLAY=" + display_ + " SDL_AUDIODRIVER=dummy "; }
  int run(const std::string& command, std::string* output = nullptr) const {
    return runCommand(env() + command, output);
  }

 private:
  std::string display_;
  std::string pid_;
};
