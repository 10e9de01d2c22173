#include "platform/process_info.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform {

std::optional<uint32_t> ParentProcessId() {
  // /proc/self/stat: "pid (comm) state ppid ..."; comm may hold blanks and parentheses, so the
  // fields are read after the last ')'.
  std::ifstream file("/proc/self/stat");
  std::stringstream content;
  content << file.rdbuf();
  const std::string stat = content.str();
  const size_t end = stat.rfind(')');
  if (end == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(end + 1));
  std::string state;
  uint32_t parent = 0;
  if (!(fields >> state >> parent)) return std::nullopt;
  return parent;
}

std::optional<std::string> ProcessExecutableBaseName(uint32_t pid) {
  std::error_code error;
  const std::filesystem::path executable =
      std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
  if (error || executable.empty()) return std::nullopt;
  return executable.filename().string();
}

}  // namespace platform
