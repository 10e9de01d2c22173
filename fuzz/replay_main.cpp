// Runs a fuzz target's LLVMFuzzerTestOneInput on every file given, or in a folder given, in
// name order; without libFuzzer, so that every build checks the seeds with its own compiler and
// sanitizers. Fails when it finds no input at all.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& argument) {
  if (!std::filesystem::is_directory(argument)) return {argument};
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(argument)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const std::filesystem::path& input : InputsOf(argv[i])) {
      std::ifstream file(input, std::ios::binary);
      if (!file) {
        std::cerr << "cannot read " << input << '\n';
        return 1;
      }
      const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                       std::istreambuf_iterator<char>()};
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  std::cerr << replayed << " inputs replayed\n";
  return replayed > 0 ? 0 : 1;
}
