#include "checks/package_files.h"

#include <array>
#include <regex>
#include <set>
#include <stdexcept>

#include "checks/guidelines.h"
#include "log/validator_log.h"
#include "platform/files.h"
#include "utils/text.h"

namespace QasValidator {

namespace {

using QasUtils::FilePath;

/// Guideline pages: the libraries, the debug symbols.
constexpr int32_t kLibrariesGuideline = 12;
constexpr int32_t kDebugSymbolsGuideline = 13;

bool IsDebugSymbolFile(const std::string& extension) {
  const std::string lower = QasUtils::ToLower(extension);
  return lower == ".pdb" || lower == ".debug";
}

/// A Windows DLL, or a shared object: a name that ends in ".so" or holds ".so." (libfoo.so.1).
bool IsLibrary(const FilePath& file) {
  const std::string name = QasUtils::ToLower(file.GetFileName() + file.GetExtension());
  return QasUtils::ToLower(file.GetExtension()) == ".dll" || name.ends_with(".so") ||
         name.find(".so.") != std::string::npos;
}

/// The known-bad libraries, each matched against a library's whole full path in this order,
/// compiled once. A library's name ends in ".dll", or in ".so" with its version, if any.
const std::array<std::regex, 4>& KnownBadLibraries() {
  static const std::array<std::regex, 4> patterns = [] {
    const std::string separator = platform::PathSeparator() == '\\' ? "\\\\" : "/";
    const std::string notSeparator = "[^" + separator + "]";
    const std::string end = "(\\.dll|\\.so(\\." + notSeparator + "*)?)$";
    const auto compile = [](const std::string& pattern) {
      return std::regex(pattern, std::regex::ECMAScript | std::regex::icase);
    };
    return std::array<std::regex, 4>{compile("^.*steamworks" + end),
                                     compile("^.*steam_api.*" + end),
                                     compile("^.*osvr" + notSeparator + "*" + end),
                                     compile("^.*openvr" + notSeparator + "*" + end)};
  }();
  return patterns;
}

bool IsKnownBadLibrary(const std::string& fullPath) {
  for (const std::regex& pattern : KnownBadLibraries()) {
    if (std::regex_match(fullPath, pattern)) return true;
  }
  return false;
}

}  // namespace

PackageFindings FindExtraneousFiles(const FilePath& folder) {
  PackageFindings findings;
  std::set<platform::FileIdentity> visited;
  if (const auto identity = platform::IdentifyFile(folder.GetFullPath())) visited.insert(*identity);
  std::vector<FilePath> current = {folder};
  std::vector<FilePath> next;
  const auto visit = [&](const FilePath& child) {
    if (child.IsDirectory()) {
      const auto identity = platform::IdentifyFile(child.GetFullPath());
      if (!identity || visited.insert(*identity).second) next.push_back(child);
      return true;
    }
    if (IsDebugSymbolFile(child.GetExtension())) {
      findings.groups[kDebugSymbolsHeader].push_back(QasUtils::ToUtf8(child.GetFullPath()));
      return true;
    }
    if (!IsLibrary(child)) return true;
    try {
      if (IsKnownBadLibrary(child.GetFullPath())) {
        findings.groups[kKnownBadLibrariesHeader].push_back(QasUtils::ToUtf8(child.GetFullPath()));
      }
    } catch (const std::regex_error& error) {
      LogError("INTERNAL ERROR: ", error.what());
      return false;
    }
    return true;
  };
  while (!current.empty() && !findings.stopped) {
    for (const FilePath& directory : current) {
      try {
        findings.stopped = !directory.IterateOverChildren(visit);
      } catch (const std::runtime_error& error) {
        LogError("INTERNAL ERROR: ", error.what());
        findings.stopped = true;
      }
      if (findings.stopped) break;
    }
    current = std::move(next);
    next.clear();
  }
  return findings;
}

TestResult ReportExtraneousFiles(const PackageFindings& findings) {
  if (findings.groups.empty()) return findings.stopped ? TestResult::Failed : TestResult::Passed;
  for (const auto& [header, paths] : findings.groups) {
    LogError(header);
    for (const std::string& path : paths) LogError("   ", path);
    CiteGuideline(header == kDebugSymbolsHeader ? kDebugSymbolsGuideline : kLibrariesGuideline);
  }
  return TestResult::Failed;
}

TestResult InspectPackage(const std::string& executablePath) {
  try {
    const FilePath executable(executablePath);
    if (!executable.Exists()) {
      Log(LogLevel::Error, {"Executable ", QasUtils::ToUtf8(executablePath), " does not exist"});
      return TestResult::Failed;
    }
    if (!platform::IsExecutableFile(executable.GetFullPath())) {
      Log(LogLevel::Error,
          {"Unexpected file name extension \"", QasUtils::ToUtf8(executablePath), "\""});
      return TestResult::Failed;
    }
    return ReportExtraneousFiles(FindExtraneousFiles(executable.GetParent()));
  } catch (const std::runtime_error& error) {
    LogError("INTERNAL ERROR: ", error.what());
    return TestResult::Failed;
  }
}

}  // namespace QasValidator
