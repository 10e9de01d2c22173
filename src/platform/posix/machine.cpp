#include "platform/machine.h"

#include <cstdlib>

namespace platform {

std::string MachinePath(std::string_view relative) {
  const char* prefix = std::getenv(MachinePrefixVariable);
  std::string path = prefix != nullptr && *prefix != '\0' ? prefix : "/";
  if (path.back() != '/') path.push_back('/');
  while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
  path.append(relative);
  return path;
}

std::string RuntimeRunFolder() { return MachinePath("run/corvia/"); }

}  // namespace platform
