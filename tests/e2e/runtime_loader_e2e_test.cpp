// The runtime library loader with real libraries: the simulated runtime library as built and
// signed, and variants of it that the loader must refuse. Runs on a simulated machine
// (scripts/with-simulator); each case runs in a child process so that it starts unloaded.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iostream>

#include "command_runner.h"
#include "lux/lux_capi.h"
#include "platform/machine.h"
#include "runtime/internal_functions.h"
#include "runtime/runtime_library.h"
#include "support/child_process.h"
#include "support/wait_until.h"

namespace LuxLoader {
namespace {

using testsupport::RunInChild;

const std::string kLibraryDir = CORVIA_CLIENT_LIBRARY_DIR;
const std::string kVariants = CORVIA_RUNTIME_VARIANTS;

std::string MakeEmptyDirectory(const std::string& name) {
  const std::string path = testing::TempDir() + name;
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  return path;
}

// Points LIBLUX_DLL_DIR at `directory` (unset when empty) and works in an empty folder, so
// that the system search finds nothing.
void SearchIn(const std::string& directory) {
  if (directory.empty()) {
    unsetenv("LIBLUX_DLL_DIR");
  } else {
    setenv("LIBLUX_DLL_DIR", directory.c_str(), 1);
  }
  unsetenv("LD_LIBRARY_PATH");
  if (chdir(MakeEmptyDirectory("loader_e2e_cwd").c_str()) != 0) std::abort();
}

std::string LastError() {
  luxErrorInfo info{};
  lux_GetLastErrorInfo(&info);
  return std::to_string(info.Result) + " " + info.ErrorString;
}

// Initialises with the runtime library of `directory` and prints the result, the last error
// and whether a library stayed loaded.
std::string InitializeFrom(const std::string& directory) {
  const auto run = RunInChild([&] {
    SearchIn(directory);
    const luxResult result = lux_Initialize(nullptr);
    std::cout << result << "; " << LastError() << "; loaded " << IsRuntimeLibraryLoaded();
    return 0;
  });
  return run.out;
}

void CopyFile(const std::string& from, const std::string& to) {
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// A new folder `name` with a copy of the signed simulator library and its signature.
std::string SignedLibraryCopy(const std::string& name) {
  const std::string directory = MakeEmptyDirectory(name);
  CopyFile(kLibraryDir + "/LibLUXRT64_1.so", directory + "/LibLUXRT64_1.so");
  CopyFile(kLibraryDir + "/LibLUXRT64_1.so.sig", directory + "/LibLUXRT64_1.so.sig");
  return directory;
}

TEST(LoaderE2E, EachFolderLoadsItsLibraryOrRefusesItWithItsError) {
  // The signed library with a byte appended, with the signature of another build, and too large
  // to check in one piece.
  const std::string tampered = SignedLibraryCopy("loader_e2e_tampered");
  std::ofstream(tampered + "/LibLUXRT64_1.so", std::ios::app) << '\0';
  const std::string swapped = SignedLibraryCopy("loader_e2e_swapped");
  CopyFile(kVariants + "/no-query-distortion/LibLUXRT64_1.so.sig",
           swapped + "/LibLUXRT64_1.so.sig");
  // The signed library followed by 4 GiB of zeros (a sparse file, no room on the disk): its
  // size taken as a 32-bit number is the signed part alone.
  const std::string huge = SignedLibraryCopy("loader_e2e_huge");
  std::filesystem::resize_file(
      huge + "/LibLUXRT64_1.so",
      (uintmax_t{1} << 32) + std::filesystem::file_size(huge + "/LibLUXRT64_1.so"));
  const std::string refused = "-3021; -3021 Unable to load LibLUXRT DLL; loaded 0";
  const std::pair<std::string, std::string> cases[] = {
      {kLibraryDir, "0; 0 ; loaded 1"},
      {kVariants + "/unsigned", refused},
      {kVariants + "/other-signer", refused},
      {kVariants + "/two-level", refused},
      {kVariants + "/no-code-signing", refused},
      {tampered, refused},
      {swapped, refused},
      {huge, "-3022; -3022 Unable to load LibLUXRT DLL; loaded 0"},  // too large to check
      {kVariants + "/no-query-distortion",
       "-3023; -3023 Unable to locate LibLUXRT symbol: lux_QueryDistortion; loaded 0"},
  };
  for (const auto& [folder, result] : cases) EXPECT_EQ(InitializeFrom(folder), result) << folder;
  std::filesystem::remove_all(huge);
}

TEST(LoaderE2E, TheValidatorRunsTheLibraryItCheckedEvenIfTheFileIsSwappedAfterTheCheck) {
  const std::string directory = SignedLibraryCopy("loader_e2e_swap");
  const std::string mark = testing::TempDir() + "loader_e2e_swapped_code_ran";
  std::filesystem::remove(mark);
  // The loader reads the machine's trusted roots right after the library and its signature.
  // Served through a FIFO, they hold the validator at that moment, until the swap is done.
  const std::string trust = platform::MachinePath("etc/corvia/trusted-roots.pem");
  const std::string roots = e2e::ReadFile(trust);
  std::filesystem::rename(trust, trust + ".kept");
  ASSERT_EQ(mkfifo(trust.c_str(), 0600), 0);
  auto validator = std::async(std::launch::async, [&] {
    return e2e::RunCommand({"env", "LIBLUX_DLL_DIR=" + directory,
                            "CORVIA_SWAPPED_LIBRARY_MARK=" + mark, CORVIA_VALIDATOR,
                            "--list_tests"});
  });
  int fifo = -1;  // the writing end opens once the validator opened the reading end
  testsupport::WaitUntil([&] { return (fifo = open(trust.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; },
                         std::chrono::seconds(20));
  CopyFile(CORVIA_SWAPPED_LIBRARY, directory + "/swapped.so");
  std::filesystem::rename(directory + "/swapped.so", directory + "/LibLUXRT64_1.so");
  std::filesystem::rename(trust + ".kept", trust);  // later readers find the file again
  if (fifo >= 0) {
    EXPECT_EQ(write(fifo, roots.data(), roots.size()), static_cast<ssize_t>(roots.size()));
    close(fifo);
  }
  const e2e::CommandOutcome run = validator.get();
  EXPECT_GE(fifo, 0) << "the validator never read the trusted roots";
  EXPECT_EQ(run.exitStatus, 0) << run.out;
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "TestSdkVersion");
  EXPECT_FALSE(std::filesystem::exists(mark)) << "the swapped library's code ran";
}

// Each case in a process of its own, which starts unloaded: what it prints.
TEST(LoaderE2E, ReloadsShutdownsFallbacksUntrustedRootsAndTheRuntimesOwnErrors) {
  const std::pair<std::function<void()>, std::string> cases[] = {
      // The shutdown unloads the library, but an internal function stays bound (a console-control
      // shutdown may come between another thread's look at a pointer and its call): its code is
      // still there.
      {[] {
         SearchIn(kLibraryDir);
         std::cout << lux_Initialize(nullptr) << " " << BindInternalFunctions() << " ";
         lux_Shutdown();
         std::cout << IsRuntimeLibraryLoaded() << " " << luxi_EnableRealtimeEventOutput(luxFalse);
       },
       "0 0 0 -1004"},
      // Initializing twice does not reload: a reload would now find only an unsigned library.
      {[] {
         SearchIn(kLibraryDir);
         std::cout << lux_Initialize(nullptr) << " ";
         SearchIn(kVariants + "/unsigned");
         std::cout << lux_Initialize(nullptr) << " " << IsRuntimeLibraryLoaded() << " ";
         lux_Shutdown();
         std::cout << lux_Initialize(nullptr) << " " << IsRuntimeLibraryLoaded();
       },
       "0 0 1 -3021 0"},
      // A refused folder falls back to the system search, which searches the current folder.
      {[] {
         SearchIn(kVariants + "/unsigned");
         if (chdir(kLibraryDir.c_str()) != 0) std::abort();
         std::cout << lux_Initialize(nullptr) << " " << IsRuntimeLibraryLoaded();
       },
       "0 1"},
      // A machine without the test root in its trust file; the system's own root of that name
      // has another key.
      {[] {
         setenv(platform::MachinePrefixVariable, MakeEmptyDirectory("loader_e2e_machine").c_str(),
                1);
         SearchIn(kLibraryDir);
         std::cout << lux_Initialize(nullptr) << "; " << LastError();
       },
       "-3021; -3021 Unable to load LibLUXRT DLL"},
      // The runtime's initialisation error survives the unload: a machine that trusts the test
      // root but runs no runtime service.
      {[] {
         const std::string machine = MakeEmptyDirectory("loader_e2e_no_service");
         std::filesystem::create_directories(machine + "/etc/corvia");
         CopyFile(platform::MachinePath("etc/corvia/trusted-roots.pem"),
                  machine + "/etc/corvia/trusted-roots.pem");
         setenv(platform::MachinePrefixVariable, machine.c_str(), 1);
         SearchIn(kLibraryDir);
         std::cout << lux_Initialize(nullptr) << "; " << LastError() << "; loaded "
                   << IsRuntimeLibraryLoaded();
       },
       "-3003; -3003 Unable to connect to the Corvia runtime service: No such file or "
       "directory; loaded 0"},
      // An internal name the runtime does not offer answers -3002 and leaves the pointer.
      {[] {
         SearchIn(kLibraryDir);
         lux_Initialize(nullptr);
         void* untouched = &untouched;
         std::cout << lux_Lookup("luxi_GetCameraPose", &untouched) << " "
                   << (untouched == &untouched);
       },
       "-3002 1"},
  };
  for (const auto& [body, printed] : cases) {
    EXPECT_EQ(RunInChild([&body = body] {
                body();
                return 0;
              }).out,
              printed);
  }
}

}  // namespace
}  // namespace LuxLoader
