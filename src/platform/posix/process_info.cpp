#include "platform/process_info.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

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

}  // namespace platform
