#include "platform/posix/proc_maps.h"

#include <unordered_set>

namespace platform {

namespace {

constexpr std::string_view kBlanks = " \t";

/// Removes the next field of blank-separated `line` from its front and returns it.
std::string_view TakeField(std::string_view& line) {
  const size_t start = std::min(line.find_first_not_of(kBlanks), line.size());
  line.remove_prefix(start);
  const size_t end = std::min(line.find_first_of(kBlanks), line.size());
  const std::string_view field = line.substr(0, end);
  line.remove_prefix(end);
  return field;
}

}  // namespace

std::vector<std::string> MappedFiles(std::string_view maps) {
  std::vector<std::string> files;
  std::unordered_set<std::string_view> seen;
  while (!maps.empty()) {
    const size_t end = std::min(maps.find('\n'), maps.size());
    std::string_view line = maps.substr(0, end);
    maps.remove_prefix(std::min(end + 1, maps.size()));
    // Address range, permissions, offset, device, inode; then the path, which may hold blanks.
    for (int field = 0; field < 4; ++field) TakeField(line);
    const std::string_view inode = TakeField(line);
    const std::string_view path =
        line.substr(std::min(line.find_first_not_of(kBlanks), line.size()));
    if (inode.empty() || inode.find_first_not_of('0') == std::string_view::npos) continue;
    if (path.empty() || path.front() != '/') continue;
    if (seen.insert(path).second) files.emplace_back(path);
  }
  return files;
}

}  // namespace platform
