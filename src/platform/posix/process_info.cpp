#include "platform/process_info.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/posix/proc_maps.h"
#include "platform/posix/process_creators.h"

namespace platform {

namespace {

struct ProcessStat {
  uint32_t parent = 0;
  uint64_t startTicks = 0;  // since the system started, in clock ticks
};

// A /proc stat file: "PID (COMMAND) STATE PPID ...", the start time being the 22nd field; the
// command may itself hold blanks and parentheses, so the fields after it are found from the
// last ')'.
std::optional<ProcessStat> ReadStat(const std::string& statPath) {
  std::ifstream file(statPath);
  std::string line;
  if (!std::getline(file, line)) return std::nullopt;
  const size_t end = line.rfind(')');
  if (end == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(end + 1));
  std::string state;
  ProcessStat stat;
  if (!(fields >> state >> stat.parent)) return std::nullopt;
  std::string skipped;
  for (int field = 5; field < 22 && fields >> skipped; ++field) {
  }
  if (!(fields >> stat.startTicks)) return std::nullopt;
  return stat;
}

std::optional<ProcessStat> StatOf(uint32_t processId) {
  return ReadStat("/proc/" + std::to_string(processId) + "/stat");
}

std::mutex launchesLock;
std::map<uint64_t, uint32_t> launchesByStart;  // guarded by launchesLock; start ticks to id

// The launched process that an orphan which started at `startTicks` comes from: the last one
// launched no later than it started, since this process runs its applications one after the
// other.
std::optional<uint32_t> LaunchBefore(uint64_t startTicks) {
  std::lock_guard lock(launchesLock);
  auto after = launchesByStart.upper_bound(startTicks);
  if (after == launchesByStart.begin()) return std::nullopt;
  return std::prev(after)->second;
}

bool IsLaunched(uint32_t processId) {
  std::lock_guard lock(launchesLock);
  for (const auto& [start, launched] : launchesByStart) {
    if (launched == processId) return true;
  }
  return false;
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

void NoteLaunchedProcess(uint32_t processId) {
  if (const std::optional<ProcessStat> stat = StatOf(processId)) {
    std::lock_guard lock(launchesLock);
    launchesByStart[stat->startTicks] = processId;
  }
}

std::optional<uint32_t> ParentProcessId() {
  const std::optional<ProcessStat> stat = ReadStat("/proc/self/stat");
  if (!stat) return std::nullopt;
  return stat->parent;
}

uint32_t ParentProcessId(uint32_t processId) {
  const std::optional<ProcessStat> stat = StatOf(processId);
  if (!stat) return processId;
  if (stat->parent != static_cast<uint32_t>(getpid()) || IsLaunched(processId)) return stat->parent;
  // A child this process did not launch: after a launch, an orphan of an application it
  // launched, whose creator has ended.
  return LaunchBefore(stat->startTicks).value_or(stat->parent);
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
