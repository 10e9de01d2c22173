#include "support/junit_schema.h"

#include <array>
#include <map>
#include <sstream>

namespace testsupport {

namespace {

// Per element: its required attributes, its optional attributes, its children in the order the
// schema's sequence takes them.
const std::map<std::string, std::array<std::string, 3>> kRules = {
    {"testsuites", {"", "name time tests failures disabled errors", "testsuite"}},
    {"testsuite",
     {"name tests",
      "failures errors skipped disabled time timestamp hostname id package group file log url "
      "version",
      "properties testcase system-out system-err"}},
    {"properties", {"", "", "property"}},
    {"property", {"name value", "", ""}},
    {"testcase",
     {"name", "classname time status assertions class file line log group url",
      "skipped error failure system-out system-err"}},
    {"skipped", {"", "message", ""}},
    {"error", {"", "message type", ""}},
    {"failure", {"", "message type", ""}},
    {"system-out", {"", "", ""}},
};

/// The position of `word` among the words of `words`, -1 when it is not one of them.
int PositionOf(const std::string& words, const std::string& word) {
  std::istringstream stream(words);
  int position = 0;
  for (std::string each; stream >> each; ++position) {
    if (each == word) return position;
  }
  return -1;
}

void Check(const pugi::xml_node element, std::string& breaches) {
  const std::string name = element.name();
  if (!kRules.contains(name)) {
    breaches += "unknown element " + name + "\n";
    return;
  }
  const auto& [required, optional, children] = kRules.at(name);
  std::istringstream requiredNames(required);
  for (std::string attribute; requiredNames >> attribute;) {
    if (!element.attribute(attribute.c_str())) breaches += name + " lacks " + attribute + "\n";
  }
  for (const pugi::xml_attribute attribute : element.attributes()) {
    if (PositionOf(required + " " + optional, attribute.name()) < 0) {
      breaches += name + " has " + attribute.name() + "\n";
    }
  }
  int reached = 0;
  for (const pugi::xml_node child : element.children()) {
    if (child.type() != pugi::node_element) continue;
    const int at = PositionOf(children, child.name());
    if (at < reached) breaches += child.name() + (" out of place in " + name + "\n");
    reached = std::max(reached, at);
    Check(child, breaches);
  }
}

}  // namespace

std::string JunitSchemaBreaches(const pugi::xml_document& document) {
  std::string breaches;
  Check(document.document_element(), breaches);
  return breaches;
}

}  // namespace testsupport
