#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "support/child_process.h"
#include "support/read_file.h"

// Windows has no fork: the child is the test program itself, started again to run only the
// current test. The child runs the test up to the call the parent wants run; the calls before
// it do not run their bodies again but return the outcomes they had, read from the files those
// runs left. At the wanted call the child sends its standard streams to that call's files, runs
// the body and ends with its result.

namespace testsupport {

namespace {

// Set in the child: "<call> <prefix>", the call to run and the prefix of the calls' files.
constexpr char kChildVariable[] = "CORVIA_TEST_CHILD";

std::string CallFile(const std::string& prefix, size_t call, const char* kind) {
  return prefix + "." + std::to_string(call) + "." + kind;
}

/// The current test's calls: how many it made, and the prefix of their files (in the parent),
/// which stay until the next test starts or the program ends.
struct TestCalls {
  std::string test;
  std::string prefix;
  size_t count = 0;

  ~TestCalls() { RemoveFiles(); }
  void RemoveFiles() const {
    if (prefix.empty()) return;
    for (size_t call = 0; call < count; ++call) {
      for (const char* kind : {"out", "err", "status"}) {
        DeleteFileA(CallFile(prefix, call, kind).c_str());
      }
    }
    DeleteFileA(prefix.c_str());
  }
};

TestCalls& CurrentCalls() {
  static TestCalls calls;
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  const std::string test =
      info == nullptr ? "" : std::string(info->test_suite_name()) + "." + info->name();
  if (calls.test != test) {
    calls.RemoveFiles();
    calls.test = test;
    calls.prefix.clear();
    calls.count = 0;
  }
  return calls;
}

ChildOutcome OutcomeOf(const std::string& prefix, size_t call) {
  ChildOutcome outcome;
  std::ifstream(CallFile(prefix, call, "status")) >> outcome.exitStatus;
  outcome.out = ReadFile(CallFile(prefix, call, "out"));
  outcome.err = ReadFile(CallFile(prefix, call, "err"));
  return outcome;
}

void FlushAll() {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
}

void Redirect(int descriptor, const std::string& path, DWORD standard) {
  const int opened =
      _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
  _dup2(opened, descriptor);
  _close(opened);
  SetStdHandle(standard, reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)));
}

[[noreturn]] void RunAsChild(const std::function<int()>& body, const std::string& prefix,
                             size_t call) {
  FlushAll();
  Redirect(1, CallFile(prefix, call, "out"), STD_OUTPUT_HANDLE);
  Redirect(2, CallFile(prefix, call, "err"), STD_ERROR_HANDLE);
  const int status = body();
  FlushAll();
  _exit(status);
}

/// Runs this program's current test in a child with `order` in kChildVariable and the null
/// device as its standard streams; its exit code, -1 when it did not start. Each stream needs
/// a handle of its own: the child's C runtime closes a stream's handle when the stream is
/// redirected, so a shared handle would be closed again later, hitting whatever handle has
/// taken its value since, such as the file just opened for standard error.
int StartChild(const std::string& order, const std::string& test) {
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string commandLine = std::string("\"") + program + "\" --gtest_filter=" + test;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE nothing[3];
  for (HANDLE& handle : nothing) {
    handle = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &inherit, OPEN_EXISTING, 0, nullptr);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing[0];
  startup.hStdOutput = nothing[1];
  startup.hStdError = nothing[2];
  PROCESS_INFORMATION process{};
  SetEnvironmentVariableA(kChildVariable, order.c_str());
  const BOOL started = CreateProcessA(program, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableA(kChildVariable, nullptr);
  for (const HANDLE handle : nothing) CloseHandle(handle);
  if (!started) return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace

ChildOutcome RunInChild(const std::function<int()>& body) {
  TestCalls& calls = CurrentCalls();
  const size_t call = calls.count++;
  if (const char* order = std::getenv(kChildVariable); order != nullptr && *order) {
    const std::string text = order;
    const std::string prefix = text.substr(text.find(' ') + 1);
    if (call == std::stoul(text)) RunAsChild(body, prefix, call);
    return OutcomeOf(prefix, call);
  }
  if (calls.prefix.empty()) {
    char directory[MAX_PATH];
    char name[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    GetTempFileNameA(directory, "cch", 0, name);
    calls.prefix = name;
  }
  FlushAll();
  const int status = StartChild(std::to_string(call) + " " + calls.prefix, calls.test);
  std::ofstream(CallFile(calls.prefix, call, "status")) << status;
  return OutcomeOf(calls.prefix, call);
}

}  // namespace testsupport
