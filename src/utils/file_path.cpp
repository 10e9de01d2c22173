#include "utils/file_path.h"

#include <optional>
#include <stdexcept>

#include "log/validator_log.h"
#include "platform/files.h"
#include "platform/system_error.h"
#include "utils/text.h"

namespace QasUtils {

namespace {

/// The message of a directory that cannot be iterated over, with the system's reason.
void LogIterationFailure(const std::string& directory, uint32_t error) {
  QasValidator::Log(QasValidator::LogLevel::Error,
                    {"Failed to iterate over the files in the directory ", ToUtf8(directory), ".",
                     GetSystemErrorText(error)});
}

}  // namespace

PathComponents SplitPath(const std::string& path) {
  const size_t lastSeparator = path.rfind(platform::PathSeparator());
  const size_t nameStart = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
  const size_t dot = path.rfind('.');
  const size_t extensionStart = dot == std::string::npos || dot < nameStart ? path.size() : dot;
  return {"", path.substr(0, nameStart), path.substr(nameStart, extensionStart - nameStart),
          path.substr(extensionStart)};
}

FilePath::FilePath(const std::string& path) {
  fullPath = platform::FullPathName(path);
  if (fullPath.empty()) {
    throw std::runtime_error("Failed ot get full path, error = " +
                             std::to_string(platform::LastErrorCode()));
  }
  if (fullPath.back() != platform::PathSeparator() && platform::IsDirectory(fullPath)) {
    fullPath.push_back(platform::PathSeparator());
  }
}

bool FilePath::Exists() const { return platform::FileExists(fullPath); }

bool FilePath::IsDirectory() const { return platform::IsDirectory(fullPath); }

const std::string& FilePath::GetFileName() const {
  SplitComponents();
  return components.fileName;
}

const std::string& FilePath::GetExtension() const {
  SplitComponents();
  return components.extension;
}

void FilePath::SplitComponents() const {
  if (split) return;
  PathComponents parts = SplitPath(fullPath);
  if (parts.fileName.size() > platform::MaxFileNameLength() ||
      parts.extension.size() > platform::MaxFileNameLength()) {
    throw std::runtime_error("Failed to split path \"" + ToUtf8(fullPath) + "\" into components.");
  }
  components = std::move(parts);
  split = true;
}

FilePath FilePath::GetParent() const {
  SplitComponents();
  // A directory has neither name nor extension; a file named ".profile" has an extension only.
  if (components.fileName.empty() && components.extension.empty()) {
    return FilePath(components.drive + components.directory + "..");
  }
  FilePath parent;
  parent.fullPath = components.drive + components.directory;
  return parent;
}

bool FilePath::IterateOverChildren(const std::function<bool(const FilePath&)>& callback) const {
  if (!IsDirectory()) {
    QasValidator::LogError("IterateOverChildren() invoked on non-directory");
    return false;
  }
  std::optional<platform::DirectoryListing> listing = platform::DirectoryListing::Open(fullPath);
  if (!listing) {
    LogIterationFailure(fullPath, platform::LastErrorCode());
    return false;
  }
  while (const std::optional<std::string> name = listing->Next()) {
    if (*name == "." || *name == "..") continue;
    // An entry whose path the system cannot take is refused, never cut into another path.
    if (fullPath.size() + name->size() > platform::MaxPathLength()) {
      LogIterationFailure(fullPath, platform::PathTooLongErrorCode());
      return false;
    }
    if (!callback(FilePath(fullPath + *name))) return false;
  }
  return true;
}

}  // namespace QasUtils
