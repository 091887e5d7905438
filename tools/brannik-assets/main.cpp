// brannik-assets: builds and inspects the program's embedded archive and the formats inside it.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "brannik-assets/command.h"

namespace assets {

namespace {

std::vector<ToolCommand>& commands() {
  static std::vector<ToolCommand> list;
  return list;
}

}  // namespace

RegisterCommand::RegisterCommand(const ToolCommand& command) { commands().push_back(command); }

const std::vector<ToolCommand>& registeredCommands() { return commands(); }

}  // namespace assets

namespace {

void usage(std::FILE* out) {
  std::vector<assets::ToolCommand> sorted = assets::registeredCommands();
  std::sort(sorted.begin(), sorted.end(),
            [](const assets::ToolCommand& a, const assets::ToolCommand& b) { return std::strcmp(a.name, b.name) < 0; });
  std::fprintf(out, "usage: brannik-assets COMMAND ARGS...\n\n");
  for (const auto& c : sorted) std::fprintf(out, "  %s %s\n      %s\n", c.name, c.usage, c.summary);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const auto& c : assets::registeredCommands()) {
    if (std::strcmp(c.name, argv[1]) == 0) return c.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "brannik-assets: unknown command '%s'\n", argv[1]);
  usage(stderr);
  return 2;
}
