#pragma once

#include <pugixml.hpp>

#include <string>

namespace testsupport {

/// What breaks, in `document`, the JUnit schema that Jenkins validates reports against (and
/// GitLab reads a part of): unknown elements or attributes, missing required attributes,
/// children out of order. One breach a line; empty when the document is valid.
std::string JunitSchemaBreaches(const pugi::xml_document& document);

}  // namespace testsupport
