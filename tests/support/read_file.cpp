#include "support/read_file.h"

#include <fstream>
#include <sstream>

namespace testsupport {

namespace {

std::string Read(const std::string& path, std::ios::openmode mode) {
  std::ifstream file(path, mode);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

}  // namespace

std::string ReadFile(const std::string& path) {
  return Read(path, std::ios::in | std::ios::binary);
}

std::string ReadTextFile(const std::string& path) { return Read(path, std::ios::in); }

}  // namespace testsupport
