#pragma once

#include <pugixml.hpp>

#include <string>

namespace testsupport {

/// The breaches of the JUnit report schema that Jenkins validates against (and GitLab reads a
/// subset of) in `document`, one per line: unknown elements, unknown or missing attributes,
/// children out of their order, a malformed time stamp. Empty when it is valid.
std::string JunitSchemaBreaches(const pugi::xml_document& document);

}  // namespace testsupport
