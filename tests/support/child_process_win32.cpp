#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "support/child_process.h"
#include "support/read_file.h"

// Windows has no fork: the child is the test program itself, started again to run only the
// current test. A test runs the same way in the child up to the body the parent wants run; the
// bodies the parent ran before are not run again, their outcomes are handed over in a file and
// returned as they were. At the wanted call the child sends its standard streams to the files
// the parent reads, runs the body and ends with its result.

namespace testsupport {

namespace {

constexpr char kChildVariable[] = "CORVIA_TEST_CHILD";

std::string CurrentTestName() {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  return test == nullptr ? std::string()
                         : std::string(test->test_suite_name()) + "." + test->name();
}

/// The outcomes of the current test's earlier calls, and how many calls it has made.
struct CallRecord {
  std::string test;
  std::vector<ChildOutcome> outcomes;
};

CallRecord& Calls() {
  static CallRecord record;
  const std::string test = CurrentTestName();
  if (record.test != test) record = CallRecord{test, {}};
  return record;
}

std::string TempFile(const char* tag) {
  char directory[MAX_PATH];
  char name[MAX_PATH];
  GetTempPathA(MAX_PATH, directory);
  GetTempFileNameA(directory, tag, 0, name);
  return name;
}

void WriteText(std::ofstream& out, const std::string& text) { out << text.size() << '\n' << text; }

std::string ReadText(std::istream& in) {
  size_t size = 0;
  in >> size;
  in.get();
  std::string text(size, '\0');
  in.read(text.data(), static_cast<std::streamsize>(size));
  return text;
}

/// What the parent tells the child: the call to run, the files for its streams, the outcomes
/// of the calls before it.
struct ChildOrder {
  size_t call = 0;
  std::string in, out, err;
  std::vector<ChildOutcome> earlier;
};

void WriteOrder(const std::string& path, const ChildOrder& order) {
  std::ofstream file(path, std::ios::binary);
  file << order.call << '\n';
  WriteText(file, order.in);
  WriteText(file, order.out);
  WriteText(file, order.err);
  file << order.earlier.size() << '\n';
  for (const ChildOutcome& outcome : order.earlier) {
    file << outcome.exitStatus << '\n';
    WriteText(file, outcome.out);
    WriteText(file, outcome.err);
  }
}

ChildOrder ReadOrder(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  ChildOrder order;
  file >> order.call;
  file.get();
  order.in = ReadText(file);
  order.out = ReadText(file);
  order.err = ReadText(file);
  size_t count = 0;
  file >> count;
  for (size_t i = 0; i < count; ++i) {
    ChildOutcome outcome;
    file >> outcome.exitStatus;
    file.get();
    outcome.out = ReadText(file);
    outcome.err = ReadText(file);
    order.earlier.push_back(std::move(outcome));
  }
  return order;
}

void Redirect(int descriptor, const std::string& path, int flags, DWORD standard) {
  const int opened = _open(path.c_str(), flags | _O_BINARY, _S_IREAD | _S_IWRITE);
  _dup2(opened, descriptor);
  _close(opened);
  SetStdHandle(standard, reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)));
}

[[noreturn]] void RunAsChild(const std::function<int()>& body, const ChildOrder& order) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  Redirect(0, order.in, _O_RDONLY, STD_INPUT_HANDLE);
  Redirect(1, order.out, _O_WRONLY | _O_TRUNC, STD_OUTPUT_HANDLE);
  Redirect(2, order.err, _O_WRONLY | _O_TRUNC, STD_ERROR_HANDLE);
  const int status = body();
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  _exit(status);
}

/// An inheritable handle of the null device. Each standard stream of the child needs its own:
/// the child's C runtime closes a stream's handle when the stream is redirected, so a handle
/// shared by the three streams would be closed three times, the later closes hitting whatever
/// handle has taken its value since, such as the file just opened for standard error.
HANDLE OpenNullDevice() {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &inherit, OPEN_EXISTING, 0, nullptr);
}

int StartChild(const std::string& orderPath) {
  wchar_t program[MAX_PATH];
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  const std::string filter = "--gtest_filter=" + CurrentTestName();
  std::wstring commandLine =
      L"\"" + std::wstring(program) + L"\" " + std::wstring(filter.begin(), filter.end());
  SetEnvironmentVariableA(kChildVariable, orderPath.c_str());
  const HANDLE nothing[] = {OpenNullDevice(), OpenNullDevice(), OpenNullDevice()};
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing[0];
  startup.hStdOutput = nothing[1];
  startup.hStdError = nothing[2];
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(program, commandLine.data(), nullptr, nullptr, TRUE, 0,
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
  CallRecord& calls = Calls();
  const size_t call = calls.outcomes.size();
  if (const char* orderPath = std::getenv(kChildVariable); orderPath != nullptr && *orderPath) {
    static const ChildOrder order = ReadOrder(orderPath);
    if (call == order.call) RunAsChild(body, order);
    ChildOutcome earlier = call < order.earlier.size() ? order.earlier[call] : ChildOutcome{};
    calls.outcomes.push_back(earlier);
    return earlier;
  }
  ChildOrder order;
  order.call = call;
  order.in = "NUL";
  order.out = TempFile("cou");
  order.err = TempFile("cer");
  order.earlier = calls.outcomes;
  const std::string orderPath = TempFile("cor");
  WriteOrder(orderPath, order);
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  ChildOutcome outcome;
  outcome.exitStatus = StartChild(orderPath);
  outcome.out = ReadFile(order.out);
  outcome.err = ReadFile(order.err);
  for (const std::string& path : {order.out, order.err, orderPath}) {
    DeleteFileA(path.c_str());
  }
  calls.outcomes.push_back(outcome);
  return outcome;
}

}  // namespace testsupport
