#pragma once

#include <string>

#include "platform/guid.h"

namespace QasValidator {

/// `guid` as 36 upper-case hexadecimal characters in the groups 8-4-4-4-12.
std::string GuidText(const platform::Guid& guid);

/// The text of a new GUID from the system.
std::string NewGuidText();

}  // namespace QasValidator
