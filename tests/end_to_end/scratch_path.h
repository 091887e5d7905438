// Where an end-to-end test writes its files: the system's temporary directory, with this process's id in
// the name, so test runs of two builds at once (e.g. make test beside make sanitize) never share a file.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

// "name.ext" becomes "name_PID.ext": the program reads some outputs' kind from the extension.
inline std::filesystem::path scratchPath(const std::string& name) {
  const std::filesystem::path path(name);
  return std::filesystem::temp_directory_path() /
         (path.stem().string() + "_" + std::to_string(getpid()) + path.extension().string());
}
