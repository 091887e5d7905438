// The tool's sub-commands. Each command file registers itself with a static RegisterCommand object;
// main dispatches on the first argument. A command returns the process exit code (0 ok, 1 bad input,
// 2 bad command line) and prints its own messages.
#pragma once

#include <vector>

namespace assets {

struct ToolCommand {
  const char* name;
  const char* usage;  // arguments after the name, e.g. "IN.txt OUT.bin"
  const char* summary;
  int (*run)(int argc, char** argv);  // argv[0] is the command name
};

struct RegisterCommand {
  explicit RegisterCommand(const ToolCommand& command);
};

const std::vector<ToolCommand>& registeredCommands();

}  // namespace assets
