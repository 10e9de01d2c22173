#include "platform/process_info.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/posix/proc_maps.h"

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

// The whole text of a file of /proc, which reports no size: read until its end. Nothing, with
// errno set, when it cannot be read.
std::optional<std::string> ReadProcFile(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return std::nullopt;
  std::string text;
  char buffer[16384];
  for (;;) {
    const ssize_t count = read(descriptor, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      const int error = errno;
      close(descriptor);
      if (count == 0) return text;
      errno = error;
      return std::nullopt;
    }
    text.append(buffer, static_cast<size_t>(count));
  }
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

// Linux keeps no list of loaded modules for other processes to read: the files mapped into the
// process stand for them. The kernel lists the mappings by address, which is the order they
// come in.
std::optional<std::vector<std::string>> ListProcessModules(const ProcessHandle& process) {
  const std::optional<std::string> maps =
      ReadProcFile("/proc/" + std::to_string(process.ProcessId()) + "/maps");
  if (!maps) return std::nullopt;
  return MappedFiles(*maps);
}

}  // namespace platform
