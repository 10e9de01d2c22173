#include "platform/files.h"

#include <windows.h>

#include <memory>
#include <utility>

#include "platform/win32/wide_text.h"

// windows.h names SearchPathW SearchPath too.
#undef SearchPath

// Handles are kept as 32-bit values (HandleToLong), which Windows guarantees to be enough for
// kernel handles.

namespace platform {

namespace {

HANDLE AsHandle(int value) { return LongToHandle(value); }

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()); }

bool EndsWithExe(const std::string& path) {
  if (path.size() < 4) return false;
  const std::string suffix = path.substr(path.size() - 4);
  return CompareStringOrdinal(Widen(suffix).c_str(), -1, L".exe", -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

ReadOnlyFile ReadOnlyFile::Open(const std::string& path) {
  // No write or delete sharing: while the handle is open nobody can change, replace, rename or
  // delete the file, so what is read or loaded through it is what it held when it was opened.
  ReadOnlyFile opened(
      HandleToLong(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!opened.IsOpen()) return opened;
  LARGE_INTEGER size{};
  if (GetFileType(AsHandle(opened.descriptor_)) != FILE_TYPE_DISK ||
      !GetFileSizeEx(AsHandle(opened.descriptor_), &size)) {
    opened.Close();
    SetLastError(ERROR_INVALID_PARAMETER);  // a device is not a file
  } else if (static_cast<uint64_t>(size.QuadPart) >= kMaxBytes) {
    opened.Close();
    SetLastError(ERROR_FILE_TOO_LARGE);
  }
  return opened;
}

std::optional<std::vector<uint8_t>> ReadOnlyFile::ReadContents() const {
  LARGE_INTEGER size{};
  if (descriptor_ < 0 || GetFileType(AsHandle(descriptor_)) != FILE_TYPE_DISK ||
      !GetFileSizeEx(AsHandle(descriptor_), &size) || size.QuadPart < 0) {
    return std::nullopt;
  }
  std::vector<uint8_t> content(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < content.size()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(done);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(done) >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 30));
    DWORD count = 0;
    if (!ReadFile(AsHandle(descriptor_), content.data() + done, chunk, &count, &at) || count == 0) {
      return std::nullopt;
    }
    done += count;
  }
  return content;
}

void ReadOnlyFile::Close() {
  if (descriptor_ >= 0) CloseHandle(AsHandle(std::exchange(descriptor_, -1)));
}

std::string FullPathName(const std::string& path) {
  if (path.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return {};
  }
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(Widen(path).c_str(), MAX_PATH, full, nullptr);
  if (length == 0) return {};
  if (length >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return {};
  }
  return Narrow(std::wstring_view(full, length));
}

size_t MaxPathLength() { return MAX_PATH - 1; }

size_t MaxFileNameLength() { return 255; }

char PathSeparator() { return '\\'; }

const char* SharedLibrarySuffix() { return ".dll"; }

bool FileExists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsExecutableFile(const std::string& path) { return EndsWithExe(path); }

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
  // Directories open only with backup semantics; links (junctions) are followed.
  HANDLE file =
      CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool read = GetFileInformationByHandle(file, &information);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!read) {
    SetLastError(error);
    return std::nullopt;
  }
  return FileIdentity{
      information.dwVolumeSerialNumber,
      (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
}

// The listing keeps its find handle and the entry that FindFirstFileW already returned.
struct FindState {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW entry{};
  bool entryPending = true;
};

std::optional<DirectoryListing> DirectoryListing::Open(const std::string& path) {
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern.push_back('\\');
  pattern.push_back('*');
  auto state = std::make_unique<FindState>();
  state->find = FindFirstFileW(Widen(pattern).c_str(), &state->entry);
  if (state->find == INVALID_HANDLE_VALUE) return std::nullopt;
  return DirectoryListing(state.release());
}

std::optional<std::string> DirectoryListing::Next() {
  auto* state = static_cast<FindState*>(stream_);
  if (state == nullptr) return std::nullopt;
  if (!state->entryPending && !FindNextFileW(state->find, &state->entry)) return std::nullopt;
  state->entryPending = false;
  return Narrow(state->entry.cFileName);
}

void DirectoryListing::Close() {
  if (stream_ == nullptr) return;
  const std::unique_ptr<FindState> state(static_cast<FindState*>(std::exchange(stream_, nullptr)));
  FindClose(state->find);
}

namespace {

std::string ExecutableDirectory() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring directory(path, length);
  directory.erase(directory.find_last_of(L'\\') + 1);
  return Narrow(directory);
}

std::string CurrentDirectory() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, path);
  return length == 0 || length >= MAX_PATH ? std::string()
                                           : Narrow(std::wstring_view(path, length));
}

std::string SystemFolder(UINT(WINAPI* query)(LPWSTR, UINT)) {
  wchar_t path[MAX_PATH];
  const UINT length = query(path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::string()
                                           : Narrow(std::wstring_view(path, length));
}

}  // namespace

// The order SearchPathW follows in safe search mode: the executable's directory, the system
// directory, the Windows directory, the current directory, then the directories of PATH.
std::vector<std::string> LibrarySearchDirectories() {
  std::vector<std::string> directories;
  auto add = [&directories](std::string directory) {
    if (directory.empty()) return;
    if (directory.back() != '\\' && directory.back() != '/') directory.push_back('\\');
    directories.push_back(std::move(directory));
  };
  add(ExecutableDirectory());
  add(SystemFolder(GetSystemDirectoryW));
  add(SystemFolder(GetWindowsDirectoryW));
  add(CurrentDirectory());
  if (const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0); size > 0) {
    std::wstring list(size, L'\0');
    list.resize(GetEnvironmentVariableW(L"PATH", list.data(), size));
    size_t start = 0;
    while (start <= list.size()) {
      const size_t end = std::min(list.find(L';', start), list.size());
      add(Narrow(std::wstring_view(list).substr(start, end - start)));
      start = end + 1;
    }
  }
  return directories;
}

std::optional<std::string> SearchPath(const std::string& fileName) {
  wchar_t found[MAX_PATH];
  const DWORD length =
      SearchPathW(nullptr, Widen(fileName).c_str(), nullptr, MAX_PATH, found, nullptr);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  const std::string path = Narrow(std::wstring_view(found, length));
  if (IsDirectory(path)) return std::nullopt;
  return path;
}

}  // namespace platform
