#include "runtime/library_search.h"

#include <gtest/gtest.h>

namespace LuxLoader {
namespace {

using Directories = std::array<std::string, 2>;

TEST(CandidateDirectories, UnsetOrEmptyLeavesOnlyTheSystemSearch) {
  EXPECT_EQ(CandidateDirectories(nullptr), (Directories{"", ""}));
  EXPECT_EQ(CandidateDirectories(""), (Directories{"", ""}));
}

TEST(CandidateDirectories, WithAndWithoutTrailingSeparatorGiveTheSameDirectory) {
  EXPECT_EQ(CandidateDirectories("/opt/corvia"), (Directories{"/opt/corvia/", ""}));
  EXPECT_EQ(CandidateDirectories("/opt/corvia/"), (Directories{"/opt/corvia/", ""}));
}

TEST(CandidateDirectories, ValuesTooLongForThePathBufferAreIgnored) {
  // 258 characters plus the appended separator fill the buffer but for its NUL.
  const std::string fits(258, 'd');
  EXPECT_EQ(CandidateDirectories(fits.c_str())[0], fits + "/");
  const std::string fullWithSeparator = std::string(258, 'd') + "/";
  EXPECT_EQ(CandidateDirectories(fullWithSeparator.c_str())[0], fullWithSeparator);
  // 259 characters would reach 260 with the separator.
  EXPECT_EQ(CandidateDirectories(std::string(259, 'd').c_str())[0], "");
  // Longer than 259 characters, even when it ends in a separator.
  EXPECT_EQ(CandidateDirectories((std::string(259, 'd') + "/").c_str())[0], "");
}

TEST(RuntimeLibraryPath, NamesTheLibraryForTheMajorVersion) {
  EXPECT_EQ(RuntimeLibraryPath("", 1), "LibLUXRT64_1.so");
  EXPECT_EQ(RuntimeLibraryPath("/opt/corvia/", 2), "/opt/corvia/LibLUXRT64_2.so");
}

TEST(RuntimeLibraryPath, MustFitThePathBuffer) {
  // "LibLUXRT64_1.so" has 15 characters; 244 + 15 = 259 fits, 260 does not.
  EXPECT_EQ(RuntimeLibraryPath(std::string(244, 'd'), 1)->size(), 259u);
  EXPECT_EQ(RuntimeLibraryPath(std::string(245, 'd'), 1), std::nullopt);
}

}  // namespace
}  // namespace LuxLoader
