#include "launch_counter.h"

#include <fstream>

namespace sampleapp {

std::optional<int> CountLaunch(const std::string& path) {
  int count = 0;
  {
    std::ifstream in(path);
    if (!(in >> count)) count = 0;
  }
  ++count;
  std::ofstream out(path, std::ios::trunc);
  if (!(out << count << "\n")) return std::nullopt;
  out.close();
  if (!out) return std::nullopt;
  return count;
}

}  // namespace sampleapp
