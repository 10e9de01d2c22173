#include "driver/junit_report.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/clock.h"
#include "platform/computer_name.h"
#include "utils/text.h"

namespace QasValidator {

namespace {

constexpr char kSuiteName[] = "CorviaSqmValidator";
constexpr char kGuidelineLine[] = "Please refer to SQM Guidelines: ";
constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

/// Text that an XML 1.0 document can carry: valid UTF-8 without control characters other
/// than tab, line feed and carriage return (the lines may hold what an application reported).
std::string XmlText(std::string_view text) {
  std::string xml;
  for (const char c : QasUtils::ValidUtf8(text)) {
    const bool control =
        static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
    if (control) {
      xml += kReplacement;
    } else {
      xml += c;
    }
  }
  return xml;
}

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", std::max(seconds, 0.0));
  return text;
}

void SetAttribute(pugi::xml_node node, const char* name, const std::string& value) {
  node.append_attribute(name).set_value(XmlText(value).c_str());
}

void SetText(pugi::xml_node node, const std::string& text) {
  node.append_child(pugi::node_pcdata).set_value(XmlText(text).c_str());
}

/// The run's Error lines, one per line.
std::string ErrorLines(const TestRun& run) {
  std::string text;
  for (const auto& [level, line] : run.lines) {
    if (level != LogLevel::Error) continue;
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

/// The run's console lines as the console showed them.
std::string ConsoleLines(const TestRun& run) {
  std::string text;
  for (const auto& [level, line] : run.lines) {
    if (level == LogLevel::Error) text += "ERROR: ";
    text += line + "\n";
  }
  return text;
}

void AddProperty(pugi::xml_node properties, const std::string& name, const std::string& value) {
  const pugi::xml_node property = properties.append_child("property");
  SetAttribute(property, "name", name);
  SetAttribute(property, "value", value);
}

/// The guideline pages a run cited and, for a retried test, its attempts' results.
void AddProperties(pugi::xml_node properties, const TestRun& run) {
  std::vector<std::string> cited;
  for (const auto& [level, line] : run.lines) {
    if (!line.starts_with(kGuidelineLine)) continue;
    const std::string page = line.substr(sizeof kGuidelineLine - 1);
    if (std::find(cited.begin(), cited.end(), page) != cited.end()) continue;
    cited.push_back(page);
    AddProperty(properties, run.name + " guideline", page);
  }
  if (run.attempts.size() < 2) return;
  std::string results;
  for (const TestResult result : run.attempts) {
    if (!results.empty()) results += ", ";
    results += TestResultText(result, false);
  }
  AddProperty(properties, run.name + " attempts", results);
}

void AddTestCase(pugi::xml_node suite, const TestRun& run) {
  pugi::xml_node testCase = suite.append_child("testcase");
  SetAttribute(testCase, "name", run.name);
  SetAttribute(testCase, "classname", kSuiteName);
  SetAttribute(testCase, "time", SecondsText(run.seconds));
  if (!run.finished || run.attempts.empty()) {
    pugi::xml_node error = testCase.append_child("error");
    SetAttribute(error, "message", "The validation ended before the test did");
    SetAttribute(error, "type", "Unfinished");
  } else if (run.attempts.back() == TestResult::Skipped) {
    testCase.append_child("skipped");
  } else if (EndedFailed(run)) {
    const std::string errors = ErrorLines(run);
    pugi::xml_node failure = testCase.append_child("failure");
    SetAttribute(failure, "message", errors.empty() ? "Failed" : errors);
    SetAttribute(failure, "type",
                 run.attempts.back() == TestResult::TransientError ? "TransientError" : "Failed");
    SetText(failure, errors);
  }
  SetText(testCase.append_child("system-out"), ConsoleLines(run));
}

/// What `errno` says, as the log file's errors read: "No such file or directory (2)".
std::string ErrnoText() {
  const int error = errno;
  return std::string(std::strerror(error)) + " (" + std::to_string(error) + ")";
}

}  // namespace

JunitReport::JunitReport(std::string path)
    : path_(std::move(path)),
      timestamp_(platform::LocalTimeText("%Y-%m-%dT%H:%M:%S")),
      hostname_(platform::ComputerName()),
      start_(platform::MonotonicSeconds()) {}

bool JunitReport::Write(const std::vector<TestRun>& runs) const {
  size_t failures = 0;
  size_t errors = 0;
  size_t skipped = 0;
  for (const TestRun& run : runs) {
    if (!run.finished || run.attempts.empty()) {
      ++errors;
    } else if (run.attempts.back() == TestResult::Skipped) {
      ++skipped;
    } else if (EndedFailed(run)) {
      ++failures;
    }
  }
  const std::string time = SecondsText(platform::MonotonicSeconds() - start_);

  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version").set_value("1.0");
  declaration.append_attribute("encoding").set_value("UTF-8");
  pugi::xml_node suites = document.append_child("testsuites");
  pugi::xml_node suite = suites.append_child("testsuite");
  for (const pugi::xml_node node : {suites, suite}) {
    SetAttribute(node, "name", kSuiteName);
    SetAttribute(node, "tests", std::to_string(runs.size()));
    SetAttribute(node, "failures", std::to_string(failures));
    SetAttribute(node, "errors", std::to_string(errors));
    SetAttribute(node, "time", time);
  }
  SetAttribute(suite, "skipped", std::to_string(skipped));
  SetAttribute(suite, "timestamp", timestamp_);
  SetAttribute(suite, "hostname", hostname_);
  pugi::xml_node properties = suite.append_child("properties");
  for (const TestRun& run : runs) AddProperties(properties, run);
  if (properties.first_child().empty()) suite.remove_child(properties);
  for (const TestRun& run : runs) AddTestCase(suite, run);

  const std::string temporary = path_ + ".part";
  std::string failure;
  if (!document.save_file(temporary.c_str(), "  ", pugi::format_default, pugi::encoding_utf8)) {
    failure = ErrnoText();
  } else {
    std::error_code renamed;
    std::filesystem::rename(temporary, path_, renamed);
    if (renamed) failure = renamed.message() + " (" + std::to_string(renamed.value()) + ")";
  }
  if (failure.empty()) return true;
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  std::cerr << "Failed to write the JUnit report " << path_ << " Error: " << failure << std::endl;
  return false;
}

}  // namespace QasValidator
