#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/machine.h"

// A fuzz target talks to nothing of the real machine (no runtime service, no shell service, no
// trust file): the machine prefix names a private folder, made on first use and removed when
// the process ends.
class FuzzMachine {
 public:
  /// The folder, made and named in the environment on the first call.
  static const std::filesystem::path& Prefix() {
    static const FuzzMachine machine;
    return machine.prefix_;
  }

 private:
  FuzzMachine() {
    std::string path = (std::filesystem::temp_directory_path() / "corvia-fuzz-XXXXXX").string();
    if (mkdtemp(path.data()) == nullptr) std::abort();
    prefix_ = path;
    setenv(platform::MachinePrefixVariable, path.c_str(), 1);
  }
  ~FuzzMachine() {
    std::error_code ignored;
    std::filesystem::remove_all(prefix_, ignored);
  }

  std::filesystem::path prefix_;
};
