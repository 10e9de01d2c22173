#pragma once

#include <functional>
#include <string>

namespace QasUtils {

/// The components of a path.
struct PathComponents {
  std::string drive;      // empty on POSIX
  std::string directory;  // up to and with the last separator
  std::string fileName;   // the last component without its extension
  std::string extension;  // from the last dot of the last component on, empty without one
};

/// Splits `path` into its components (the C library's splitter on Windows).
PathComponents SplitPath(const std::string& path);

/// A path, always absolute, with its components split out on first use. A path that names a
/// directory ends in the system's separator. Paths are in the system's own encoding of names
/// (UTF-8 bytes on POSIX; `ToUtf8` makes them printable). Errors raise std::runtime_error with
/// a message; copying copies everything, the split components included.
class FilePath {
 public:
  /// Makes `path` absolute and normal (GetFullPathNameW; lexically on POSIX). Raises "Failed ot
  /// get full path, error = " and the system's error code when it cannot, for example when the
  /// result is longer than the system takes. A separator is appended when the system reports
  /// the result as a directory.
  explicit FilePath(const std::string& path);

  const std::string& GetFullPath() const { return fullPath; }
  /// Whether the system has attributes for the path (links are followed).
  bool Exists() const;
  /// Whether the path names a directory (links are followed).
  bool IsDirectory() const;
  /// The last component without its extension; empty for a directory. Splits first.
  const std::string& GetFileName() const;
  /// The extension with its dot (".exe"), empty when there is none. Splits first.
  const std::string& GetExtension() const;
  /// Splits the path into drive (empty on POSIX), directory (with the leading and trailing
  /// separator), file name and extension, unless that was done. Raises "Failed to split path
  /// \"<path>\" into components." when a component is longer than the system allows.
  void SplitComponents() const;
  /// The folder that holds the path. For a file: the drive and directory components, taken as
  /// they are (joining them cannot fail, and the result is not made absolute again); for a
  /// directory: the absolute path of its "..".
  FilePath GetParent() const;
  /// Calls `callback` with each entry of the directory, in the order the system lists them,
  /// without "." and "..", until it returns false. False, after an Error line, when the path
  /// is not a directory, the directory cannot be listed, or an entry's path would be longer
  /// than the system takes; false when the callback returned false; true otherwise. Raises
  /// what making an entry's FilePath raises.
  bool IterateOverChildren(const std::function<bool(const FilePath&)>& callback) const;

 private:
  FilePath() = default;

  // The components, filled by SplitComponents on first use.
  mutable bool split = false;
  mutable PathComponents components;
  std::string fullPath;
};

}  // namespace QasUtils
