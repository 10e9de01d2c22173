#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

/// A file opened for reading that others may read but not change while it is open
/// (CreateFileW with GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING): whatever reads or loads the
/// file through this object sees the content it had when it was opened. Closed on destruction.
class ReadOnlyFile {
 public:
  /// Files of this size or larger are not opened: the POSIX backend holds the content in
  /// memory, and the code-signing check reads it in one piece.
  static constexpr uint64_t kMaxBytes = 0x7FFFFFFF;

  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  /// Opens an existing regular file smaller than kMaxBytes; a closed file when it cannot be
  /// opened, with the system's error code set (EINVAL for a folder or a device, EFBIG for a file
  /// too large).
  static ReadOnlyFile Open(const std::string& path);

  bool IsOpen() const { return descriptor_ >= 0; }

  /// The whole content of the file, read from its start; nothing when reading fails.
  std::optional<std::vector<uint8_t>> ReadContents() const;

  void Close();

 private:
  friend class LoadedModule;

  explicit ReadOnlyFile(int descriptor) : descriptor_(descriptor) {}

  int descriptor_ = -1;
};

/// The absolute, normalised form of `path` (GetFullPathNameW); empty, with the last error set,
/// when it cannot be formed or is longer than `MaxPathLength`.
std::string FullPathName(const std::string& path);

/// The longest path the system takes, in characters without the terminating NUL (MAX_PATH - 1
/// on Windows).
size_t MaxPathLength();

/// The longest name of one component of a path, in characters.
size_t MaxFileNameLength();

/// The separator of the components of a path ('\\' on Windows).
char PathSeparator();

/// The file-name suffix of the system's dynamic libraries (".dll" on Windows).
const char* SharedLibrarySuffix();

/// Whether the system has attributes for `path` (GetFileAttributesW succeeds); links are
/// followed.
bool FileExists(const std::string& path);

/// Whether the attributes of `path` carry the directory flag; links are followed.
bool IsDirectory(const std::string& path);

/// Whether `path` names a program the system starts: on Windows a name ending in ".exe" in
/// any letter case.
bool IsExecutableFile(const std::string& path);

/// What tells one file or directory from every other on the machine, whatever path leads to
/// it (the volume serial number and file index of GetFileInformationByHandle).
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;

  auto operator<=>(const FileIdentity&) const = default;
};

/// The identity of the file or directory `path` leads to (links are followed); nothing, with the
/// last error set, when it cannot be read.
std::optional<FileIdentity> IdentifyFile(const std::string& path);

/// The names in a directory, in the order the system lists them, "." and ".." included
/// (FindFirstFileW / FindNextFileW / FindClose). Closed on destruction.
class DirectoryListing {
 public:
  ~DirectoryListing();
  DirectoryListing(DirectoryListing&& other) noexcept;
  DirectoryListing& operator=(DirectoryListing&& other) noexcept;
  DirectoryListing(const DirectoryListing&) = delete;
  DirectoryListing& operator=(const DirectoryListing&) = delete;

  /// Opens the listing of the directory `path`; nothing, with the last error set, when it
  /// cannot be listed.
  static std::optional<DirectoryListing> Open(const std::string& path);

  /// The next name; nothing when the listing reports no further entry (for whatever reason).
  std::optional<std::string> Next();

 private:
  explicit DirectoryListing(void* stream) : stream_(stream) {}
  void Close();

  void* stream_ = nullptr;
};

/// Looks `fileName` up in the system's standard search order for libraries (SearchPathW
/// without a path): the directory of the running executable, the current directory, the
/// machine's library directories and the directories of LD_LIBRARY_PATH. Returns the path of
/// the first existing regular file, or nothing.
std::optional<std::string> SearchPath(const std::string& fileName);

/// The directories `SearchPath` looks in, in order.
std::vector<std::string> LibrarySearchDirectories();

}  // namespace platform
