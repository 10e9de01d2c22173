#include "platform/registry.h"

#include <cerrno>
#include <vector>

#include "platform/files.h"
#include "platform/machine.h"

// The machine's registry is a tree of folders under the machine prefix: a key is a folder, a
// string value a file holding the value's text (see docs/platform.md).

namespace platform {

namespace {

constexpr char kLocalMachineFolder[] = "etc/corvia/registry/HKEY_LOCAL_MACHINE/";

/// Whether `name` can be a folder or file name of the registry's tree: not empty, not "." or
/// "..", without '/' or NUL (such key names exist on Windows but have no file here).
bool IsStorableName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

/// The file that holds the value, or nothing when a name cannot be stored.
std::optional<std::string> ValueFile(std::string_view key, std::string_view valueName) {
  if (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  std::string path = MachinePath(kLocalMachineFolder);
  while (!key.empty()) {
    const size_t end = std::min(key.find('\\'), key.size());
    if (!IsStorableName(key.substr(0, end))) return std::nullopt;
    path.append(key.substr(0, end)).push_back('/');
    key.remove_prefix(std::min(end + 1, key.size()));
  }
  if (!IsStorableName(valueName)) return std::nullopt;
  return path.append(valueName);
}

}  // namespace

std::optional<std::string> ReadMachineRegistryString(std::string_view key,
                                                     std::string_view valueName, size_t maxLength) {
  const std::optional<std::string> file = ValueFile(key, valueName);
  if (!file) {
    errno = ENOENT;
    return std::nullopt;
  }
  const ReadOnlyFile opened = ReadOnlyFile::Open(*file);
  // A folder (a key) or a device does not open: EINVAL, not a string value.
  if (!opened.IsOpen()) return std::nullopt;
  const std::optional<std::vector<uint8_t>> content = opened.ReadContents();
  if (!content) return std::nullopt;
  std::string value(content->begin(), content->end());
  if (!value.empty() && value.back() == '\n') value.pop_back();
  if (value.find('\0') != std::string::npos) {
    errno = EINVAL;
    return std::nullopt;
  }
  if (value.size() > maxLength) {
    errno = EOVERFLOW;
    return std::nullopt;
  }
  return value;
}

}  // namespace platform
