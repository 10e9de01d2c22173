#include "support/test_programs.h"

namespace testsupport {

TestProgram SleepingProgram(const std::string& seconds) {
#ifdef _WIN32
  return {CORVIA_SLEEPING_PROGRAM, {seconds}};
#else
  return {"/bin/sleep", {seconds}};
#endif
}

}  // namespace testsupport
