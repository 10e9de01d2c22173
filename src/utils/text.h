#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text helpers shared by the checks: names as the system gives them, made printable, and the
// system's error texts.

namespace QasUtils {

/// `native`, text in the system's own encoding of names (UTF-16 on Windows; on POSIX the bytes
/// of a file name, normally UTF-8), as UTF-8. On POSIX a byte that does not belong to a valid
/// UTF-8 sequence becomes U+FFFD, so that what the validator prints is always valid text.
std::string ToUtf8(std::string_view native);

/// `text` with every byte that does not belong to a valid UTF-8 sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

/// `text` with its letters A to Z lower-cased, character by character; other characters stay.
std::string ToLower(std::string text);

/// The system's message text for the error code `code` (FormatMessageW from the system's
/// message table on Windows).
std::string GetSystemErrorText(uint32_t code);

}  // namespace QasUtils
