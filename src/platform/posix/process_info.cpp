#include "platform/process_info.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform {

namespace {

// The parent id in a /proc stat file: "PID (COMMAND) STATE PPID ..."; the command may itself
// hold blanks and parentheses, so the fields after it are found from the last ')'.
std::optional<uint32_t> ParentFromStat(const std::string& statPath) {
  std::ifstream stat(statPath);
  std::string line;
  if (!std::getline(stat, line)) return std::nullopt;
  const size_t end = line.rfind(')');
  if (end == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(end + 1));
  std::string state;
  uint32_t parent = 0;
  if (!(fields >> state >> parent)) return std::nullopt;
  return parent;
}

}  // namespace

std::optional<uint32_t> ParentProcessId() { return ParentFromStat("/proc/self/stat"); }

uint32_t ParentProcessId(uint32_t processId) {
  return ParentFromStat("/proc/" + std::to_string(processId) + "/stat").value_or(processId);
}

std::optional<std::string> ProcessExecutableBaseName(uint32_t pid) {
  std::error_code error;
  const std::filesystem::path executable =
      std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
  if (error || executable.empty()) return std::nullopt;
  return executable.filename().string();
}

}  // namespace platform
