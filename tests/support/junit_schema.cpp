#include "support/junit_schema.h"

#include <algorithm>
#include <map>
#include <regex>
#include <vector>

namespace testsupport {

namespace {

struct ElementRule {
  std::vector<std::string> required;
  std::vector<std::string> optional;
  std::vector<std::string> children;  // in the order the schema's sequence allows them
};

const std::map<std::string, ElementRule>& Rules() {
  static const std::map<std::string, ElementRule> rules = {
      {"testsuites",
       {{}, {"name", "time", "tests", "failures", "disabled", "errors"}, {"testsuite"}}},
      {"testsuite",
       {{"name", "tests"},
        {"failures", "errors", "skipped", "disabled", "time", "timestamp", "hostname", "id",
         "package", "group", "file", "log", "url", "version"},
        {"properties", "testcase", "system-out", "system-err"}}},
      {"properties", {{}, {}, {"property"}}},
      {"property", {{"name", "value"}, {}, {}}},
      {"testcase",
       {{"name"},
        {"classname", "time", "status", "assertions", "class", "file", "line", "log", "group",
         "url"},
        {"skipped", "error", "failure", "system-out", "system-err"}}},
      {"skipped", {{}, {"message"}, {}}},
      {"error", {{}, {"message", "type"}, {}}},
      {"failure", {{}, {"message", "type"}, {}}},
      {"system-out", {}},
      {"system-err", {}},
  };
  return rules;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

void Check(const pugi::xml_node element, std::string& breaches) {
  const std::string name = element.name();
  const auto rule = Rules().find(name);
  if (rule == Rules().end()) {
    breaches += "unknown element " + name + "\n";
    return;
  }
  for (const std::string& required : rule->second.required) {
    if (!element.attribute(required.c_str())) breaches += name + " lacks " + required + "\n";
  }
  for (const pugi::xml_attribute attribute : element.attributes()) {
    const std::string attributeName = attribute.name();
    if (!Contains(rule->second.required, attributeName) &&
        !Contains(rule->second.optional, attributeName)) {
      breaches += name + " has the unknown attribute " + attributeName + "\n";
    }
  }
  if (name == "testsuite" && element.attribute("timestamp") &&
      !std::regex_match(element.attribute("timestamp").value(),
                        std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}"))) {
    breaches += "malformed timestamp\n";
  }
  if (name == "properties" && element.first_child().empty()) breaches += "empty properties\n";
  size_t position = 0;
  for (const pugi::xml_node child : element.children()) {
    if (child.type() != pugi::node_element) continue;
    const auto& order = rule->second.children;
    const size_t at = std::find(order.begin(), order.end(), child.name()) - order.begin();
    if (at == order.size() || at < position) {
      breaches += std::string(child.name()) + " out of place in " + name + "\n";
    }
    position = std::max(position, at);
    Check(child, breaches);
  }
}

}  // namespace

std::string JunitSchemaBreaches(const pugi::xml_document& document) {
  std::string breaches;
  const pugi::xml_node root = document.document_element();
  if (std::string(root.name()) != "testsuites" && std::string(root.name()) != "testsuite") {
    return "root " + std::string(root.name()) + "\n";
  }
  Check(root, breaches);
  return breaches;
}

}  // namespace testsupport
