#include "platform/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "platform/machine.h"
#include "support/child_process.h"

namespace platform {
namespace {

using testsupport::RunInChild;

std::string MakeDirectory(const std::string& name) {
  const std::string path = testing::TempDir() + name;
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  return path;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

TEST(ReadOnlyFile, ReadsTheWholeContent) {
  const std::string path = MakeDirectory("files_read") + "/data.bin";
  WriteFile(path, std::string("a\0b", 3) + std::string(70000, 'x'));
  ReadOnlyFile file = ReadOnlyFile::Open(path);
  ASSERT_TRUE(file.IsOpen());
  const auto content = file.ReadContents();
  ASSERT_TRUE(content.has_value());
  EXPECT_EQ(content->size(), 70003u);
  EXPECT_EQ((*content)[1], 0);
  // Reading again starts from the beginning.
  EXPECT_EQ(file.ReadContents()->size(), 70003u);
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.ReadContents().has_value());
}

TEST(ReadOnlyFile, MissingFilesAndDirectoriesDoNotOpenOrRead) {
  EXPECT_FALSE(ReadOnlyFile::Open(testing::TempDir() + "no/such/file").IsOpen());
  const ReadOnlyFile directory = ReadOnlyFile::Open(MakeDirectory("files_dir"));
  EXPECT_FALSE(directory.ReadContents().has_value());
}

TEST(FullPathName, MakesRelativePathsAbsoluteAndNormal) {
  const auto run = RunInChild([] {
    if (chdir("/usr") != 0) return 2;
    return FullPathName("lib/../share/./x") == "/usr/share/x" &&
                   FullPathName("/a//b/") == "/a/b/" && FullPathName("").empty()
               ? 0
               : 1;
  });
  EXPECT_EQ(run.exitStatus, 0);
}

TEST(SearchPath, LooksInTheCurrentDirectoryThenTheMachineLibraryDirectories) {
  const std::string prefix = MakeDirectory("search_prefix");
  const std::string current = MakeDirectory("search_current");
  WriteFile(prefix + "/usr/lib/libfound.so", "x");
  WriteFile(prefix + "/lib/libfound.so", "x");
  WriteFile(prefix + "/lib/libonlylib.so", "x");
  WriteFile(current + "/libcurrent.so", "x");
  std::filesystem::create_directories(prefix + "/usr/lib/libdirectory.so");
  const auto run = RunInChild([&] {
    setenv(MachinePrefixVariable, prefix.c_str(), 1);
    unsetenv("LD_LIBRARY_PATH");
    if (chdir(current.c_str()) != 0) return 2;
    std::cout << SearchPath("libfound.so").value_or("none") << "\n"
              << SearchPath("libonlylib.so").value_or("none") << "\n"
              << SearchPath("libcurrent.so").value_or("none") << "\n"
              << SearchPath("libdirectory.so").value_or("none") << "\n"
              << SearchPath("libmissing.so").value_or("none") << "\n";
    return 0;
  });
  EXPECT_EQ(run.out, prefix + "/usr/lib/libfound.so\n" + prefix + "/lib/libonlylib.so\n" + current +
                         "/libcurrent.so\nnone\nnone\n");
}

TEST(SearchPath, LibraryPathDirectoriesComeLast) {
  const std::string prefix = MakeDirectory("search_order_prefix");
  const std::string extra = MakeDirectory("search_order_extra");
  WriteFile(extra + "/libextra.so", "x");
  const auto run = RunInChild([&] {
    setenv(MachinePrefixVariable, prefix.c_str(), 1);
    setenv("LD_LIBRARY_PATH", ("/nonexistent::" + extra).c_str(), 1);
    for (const std::string& directory : LibrarySearchDirectories()) std::cout << directory << "\n";
    std::cout << SearchPath("libextra.so").value_or("none") << "\n";
    return 0;
  });
  const std::string expected = prefix + "/usr/local/lib/\n" + prefix + "/usr/lib/\n" + prefix +
                               "/lib/\n/nonexistent/\n" + extra + "/\n" + extra + "/libextra.so\n";
  ASSERT_GE(run.out.size(), expected.size());
  EXPECT_EQ(run.out.substr(run.out.size() - expected.size()), expected) << run.out;
}

}  // namespace
}  // namespace platform
