#pragma once

#include <string>
#include <string_view>

namespace platform {

/// UTF-8 to UTF-16, the form Windows takes paths and command lines in. Invalid sequences become
/// U+FFFD.
std::wstring Widen(std::string_view text);

/// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string Narrow(std::wstring_view text);

}  // namespace platform
