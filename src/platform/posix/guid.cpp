#include "platform/guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

namespace platform {

Guid NewGuid() {
  uint8_t bytes[16];
  size_t done = 0;
  while (done < sizeof bytes) {
    const ssize_t count = getrandom(bytes + done, sizeof bytes - done, 0);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return Guid{};
    done += static_cast<size_t>(count);
  }
  Guid guid;
  std::memcpy(&guid.data1, bytes, 4);
  std::memcpy(&guid.data2, bytes + 4, 2);
  std::memcpy(&guid.data3, bytes + 6, 2);
  std::memcpy(guid.data4, bytes + 8, 8);
  // Version 4 in the top nibble of the third field, the RFC 4122 variant in the top bits of
  // the first byte of the fourth.
  guid.data3 = static_cast<uint16_t>((guid.data3 & 0x0FFF) | 0x4000);
  guid.data4[0] = static_cast<uint8_t>((guid.data4[0] & 0x3F) | 0x80);
  return guid;
}

}  // namespace platform
