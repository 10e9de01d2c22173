#include "support/read_file.h"

#include <fstream>
#include <sstream>

namespace testsupport {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

}  // namespace testsupport
