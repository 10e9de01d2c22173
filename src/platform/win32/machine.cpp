#include "platform/machine.h"

#include <cstdlib>

// On Windows the registry, the COM ports, the named objects and the trust store are the
// system's own. The machine prefix remains for the files the simulated runtime keeps: by default
// the Corvia folder of the machine's program data.

namespace platform {

std::string MachinePath(std::string_view relative) {
  std::string path;
  if (const char* prefix = std::getenv(MachinePrefixVariable); prefix != nullptr && *prefix) {
    path = prefix;
  } else {
    const char* programData = std::getenv("ProgramData");
    path = std::string(programData != nullptr ? programData : "C:\\ProgramData") + "\\Corvia";
  }
  if (path.back() != '\\' && path.back() != '/') path.push_back('\\');
  while (!relative.empty() && (relative.front() == '/' || relative.front() == '\\')) {
    relative.remove_prefix(1);
  }
  for (const char c : relative) path.push_back(c == '/' ? '\\' : c);
  return path;
}

std::string RuntimeRunFolder() { return MachinePath("run/corvia/"); }

}  // namespace platform
