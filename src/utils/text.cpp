#include "utils/text.h"

#include "platform/system_error.h"

namespace QasUtils {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

/// Length of the valid UTF-8 sequence at the start of `text`, 0 when it is not one: no
/// overlong forms, no surrogates, nothing above U+10FFFF.
size_t SequenceLength(std::string_view text) {
  const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80;  // the range of the second byte, which rules out the wrong forms
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string ToUtf8(std::string_view native) { return ValidUtf8(native); }

std::string ValidUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    const size_t length = SequenceLength(bytes);
    if (length == 0) {
      text += kReplacement;
      bytes.remove_prefix(1);
    } else {
      text += bytes.substr(0, length);
      bytes.remove_prefix(length);
    }
  }
  return text;
}

std::string ToLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string GetSystemErrorText(uint32_t code) { return platform::SystemErrorText(code); }

}  // namespace QasUtils
