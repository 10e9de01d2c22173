// Feeds arbitrary bytes to the reader of a process's mappings (/proc/PID/maps) that stands for
// its module list. Every path it gives must begin with '/', fit on one line and come once.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "platform/posix/proc_maps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view maps(reinterpret_cast<const char*>(data), size);
  std::set<std::string> seen;
  for (const std::string& path : platform::MappedFiles(maps)) {
    if (path.empty() || path.front() != '/' || path.find('\n') != std::string::npos) std::abort();
    if (!seen.insert(path).second) std::abort();
    if (maps.find(path) == std::string_view::npos) std::abort();
  }
  return 0;
}
