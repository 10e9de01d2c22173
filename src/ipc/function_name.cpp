#include "ipc/function_name.h"

#include <cstdint>

namespace IPC {

size_t FunctionNameHash::operator()(std::string_view name) const {
  size_t hash = 0;
  size_t i = 0;
  for (; i + 4 <= name.size(); i += 4) {
    uint32_t word = 0;
    for (size_t b = 0; b < 4; ++b) {
      word |= static_cast<uint32_t>(static_cast<unsigned char>(name[i + b])) << (8 * b);
    }
    hash = hash * 37 + word;
  }
  for (; i < name.size(); ++i) hash = hash * 37 + static_cast<unsigned char>(name[i]);
  return hash;
}

}  // namespace IPC
