#pragma once

#include <cstdint>
#include <string>

namespace platform {

/// The calling thread's last system error code (GetLastError on Windows, errno on POSIX).
uint32_t LastErrorCode();

/// Sets the calling thread's last system error code.
void SetLastErrorCode(uint32_t code);

/// The system's error code for a name or path longer than it takes (ERROR_FILENAME_EXCED_RANGE
/// on Windows).
uint32_t PathTooLongErrorCode();

/// The system's message text for an error code, in UTF-8.
std::string SystemErrorText(uint32_t code);

}  // namespace platform
