// The port's command line. The presentation itself reads no options: these only choose how it is shown
// (full-screen, in a window, or rendered offline to files).
#pragma once

#include <string>

namespace host {

enum class RunMode { Present, Capture, Soundtrack, Help, Version };

struct Options {
  RunMode mode = RunMode::Present;
  bool window = false;
  std::string capturePath;
  std::string soundtrackPath;
  std::string tracePath;  // frame trace (CSV), with the presentation or a capture
  int fps = 60;
  double duration = 0.0;  // seconds of capture; 0: until the presentation ends
  int fromOrder = 0;      // the song order the run starts at, 0 to 91
  int toOrder = 92;       // the order at whose start the run ends, fromOrder + 1 to 92
  int scale = 1;          // the picture is made at scale x 640 x 480, 1 to 4
};

// Parses argv. On a bad command line returns false with a one-line reason in *error.
bool parseOptions(int argc, const char* const* argv, Options* options, std::string* error);

const char* usageLine();
const char* helpText();

}  // namespace host
