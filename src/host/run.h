// Runs the program in the mode the command line asks for and returns the process exit code.
#pragma once

namespace host {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILURE_IO = 1;
constexpr int EXIT_BAD_COMMAND_LINE = 2;
constexpr int EXIT_NO_DISPLAY = 255;  // the presentation's own -1

int run(int argc, const char* const* argv);

}  // namespace host
