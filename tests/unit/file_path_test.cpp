#include "utils/file_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "support/child_process.h"
#include "utils/text.h"

// The path type: absolute paths, the split into components, the parent, the iteration over a
// directory's entries and the errors; and the text helpers.

namespace QasUtils {
namespace {

std::string Fresh(const std::string& name) {
  const std::string path = testing::TempDir() + name;
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path + "/sub");
  std::ofstream(path + "/sub/app.tar.gz") << "x";
  return path;
}

/// The message of the error that `make` raises, empty when it raises none.
std::string ErrorOf(const std::function<void()>& make) {
  try {
    make();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return {};
}

// A file's full path, existence and parent, and a directory's trailing separator: the package
// walks of ExtraneousFiles.
TEST(FilePath, SplitsAtTheLastDotAndADirectorysParentIsItsDotDot) {
  const std::string root = Fresh("file_path");
  const FilePath file(root + "/sub/app.tar.gz");
  EXPECT_EQ(file.GetFileName(), "app.tar");
  EXPECT_EQ(file.GetExtension(), ".gz");
  // A file named like ".profile" has an extension only; its parent is still its directory.
  EXPECT_EQ(FilePath(root + "/sub/.profile").GetParent().GetFullPath(), root + "/sub/");
  // A directory has neither name nor extension, and its parent is the absolute path of its "..".
  const FilePath directory(root + "/sub");
  EXPECT_EQ(directory.GetFileName() + directory.GetExtension(), "");
  EXPECT_EQ(directory.GetParent().GetFullPath(), root + "/");
  EXPECT_EQ(FilePath("/").GetParent().GetFullPath(), "/");
}

TEST(FilePath, PathsTheSystemCannotTakeRaiseErrors) {
  EXPECT_EQ(ErrorOf([] { FilePath("/" + std::string(5000, 'a')); }),
            "Failed ot get full path, error = 36");
  const std::string longName = "/tmp/" + std::string(300, 'n') + ".x";
  EXPECT_EQ(ErrorOf([&] { FilePath(longName).GetExtension(); }),
            "Failed to split path \"" + longName + "\" into components.");
}

TEST(FilePath, OnlyADirectoryIsIteratedOver) {
  const std::string root = Fresh("file_path_iterate");
  const auto run = testsupport::ExpectInChild([&] {
    EXPECT_FALSE(
        FilePath(root + "/sub/app.tar.gz").IterateOverChildren([](auto&) { return true; }));
  });
  EXPECT_EQ(run.out, "ERROR: IterateOverChildren() invoked on non-directory\n");
}

#ifndef _WIN32  // POSIX paths: 4095 bytes, folders made with mkdir
TEST(FilePath, AnEntryWhosePathIsTooLongIsRefusedNotCut) {
  const std::string root = Fresh("file_path_deep");
  const auto run = testsupport::ExpectInChild([&] {
    // 16 levels of 250 characters: the deepest folder is still listed, its entry's path is not.
    ASSERT_EQ(chdir(root.c_str()), 0);
    const std::string level(250, 'd');
    for (int i = 0; i < 16; ++i) {
      ASSERT_TRUE(mkdir(level.c_str(), 0755) == 0 && chdir(level.c_str()) == 0);
    }
    std::ofstream(std::string(100, 'f') + ".pdb") << "x";
    const FilePath deepest(std::filesystem::current_path().string());
    std::cerr << deepest.GetFullPath();
    EXPECT_FALSE(deepest.IterateOverChildren([](const FilePath&) { return true; }));
  });
  std::system(("rm -rf " + root).c_str());
  EXPECT_EQ(run.out, "ERROR: Failed to iterate over the files in the directory " + run.err +
                         ".File name too long\n");
}
#endif

TEST(TextHelpers, NamesBecomeValidUtf8AndLetterCaseIsLowered) {
  EXPECT_EQ(ToUtf8("Spiel/\xC3\x84rger \xF0\x9F\x8E\xAE.pdb"),
            "Spiel/\xC3\x84rger \xF0\x9F\x8E\xAE.pdb");
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(ToUtf8("a\xFF"
                   "b"),
            "a" + replacement + "b");
  EXPECT_EQ(ToUtf8("\xC0\xAF"), replacement + replacement);                    // overlong '/'
  EXPECT_EQ(ToUtf8("\xED\xA0\x80"), replacement + replacement + replacement);  // a surrogate
  EXPECT_EQ(ToUtf8("x\xE2\x82"), "x" + replacement + replacement);             // cut short
  EXPECT_EQ(ToLower("/Opt/LibLUXRT64_1.SO \xC3\x84"), "/opt/libluxrt64_1.so \xC3\x84");
}

}  // namespace
}  // namespace QasUtils
