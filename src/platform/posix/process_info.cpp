#include "platform/process_info.h"

#include <fstream>
#include <sstream>
#include <string>

namespace platform {

uint32_t ParentProcessId(uint32_t processId) {
  // /proc/PID/stat reads "PID (COMMAND) STATE PPID ..."; the command may itself hold blanks
  // and parentheses, so the fields after it are found from the last ')'.
  std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return processId;
  const size_t end = line.rfind(')');
  if (end == std::string::npos) return processId;
  std::istringstream fields(line.substr(end + 1));
  std::string state;
  uint32_t parent = 0;
  if (!(fields >> state >> parent)) return processId;
  return parent;
}

}  // namespace platform
