#pragma once

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
  /// opened.
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

/// The absolute, normalised form of `path` (GetFullPathNameW); empty when it cannot be formed.
std::string FullPathName(const std::string& path);

/// Looks `fileName` up in the system's standard search order for libraries (SearchPathW
/// without a path): the directory of the running executable, the current directory, the
/// machine's library directories and the directories of LD_LIBRARY_PATH. Returns the path of
/// the first existing regular file, or nothing.
std::optional<std::string> SearchPath(const std::string& fileName);

/// The directories `SearchPath` looks in, in order.
std::vector<std::string> LibrarySearchDirectories();

}  // namespace platform
