#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace platform {

uint32_t LastErrorCode() { return static_cast<uint32_t>(errno); }

void SetLastErrorCode(uint32_t code) { errno = static_cast<int>(code); }

uint32_t PathTooLongErrorCode() { return ENAMETOOLONG; }

std::string SystemErrorText(uint32_t code) {
  char buffer[1024];
  // The GNU strerror_r returns the text, which may or may not live in the buffer.
  return strerror_r(static_cast<int>(code), buffer, sizeof buffer);
}

}  // namespace platform
