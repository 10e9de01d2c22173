#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "platform/handle.h"
#include "platform/machine.h"

namespace platform {

namespace {

// Copies what `source` holds from its start into `target`; false when it fails or the content
// reaches `limit` bytes.
bool CopyContent(int source, int target, uint64_t limit) {
  uint64_t copied = 0;
  for (;;) {
    const ssize_t count = sendfile(target, source, nullptr, 1 << 20);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return false;
    if (count == 0) return true;
    copied += static_cast<uint64_t>(count);
    if (copied >= limit) return false;
  }
}

std::string MemoryFileName(const std::string& path) {
  // The name shows in the process's maps; the system takes at most 249 bytes.
  return std::filesystem::path(path).filename().string().substr(0, 249);
}

}  // namespace

ReadOnlyFile ReadOnlyFile::Open(const std::string& path) {
  // POSIX has no share modes: other processes could still write or replace the file. Its
  // content is therefore copied once into an anonymous memory file that is then sealed
  // against every change, and everything read or loaded through this object comes from that
  // copy.
  const OwnedHandle source(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  const auto sourceDescriptor = static_cast<int>(source.Get());
  struct stat status {};
  if (!source.IsValid() || fstat(sourceDescriptor, &status) != 0) return ReadOnlyFile();
  if (!S_ISREG(status.st_mode) || static_cast<uint64_t>(status.st_size) >= kMaxBytes) {
    errno = S_ISREG(status.st_mode) ? EFBIG : EINVAL;  // a folder or a device is not a file
    return ReadOnlyFile();
  }
  OwnedHandle copy(memfd_create(MemoryFileName(path).c_str(), MFD_CLOEXEC | MFD_ALLOW_SEALING));
  const auto copyDescriptor = static_cast<int>(copy.Get());
  constexpr int kSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL;
  if (!copy.IsValid() || !CopyContent(sourceDescriptor, copyDescriptor, kMaxBytes) ||
      fcntl(copyDescriptor, F_ADD_SEALS, kSeals) != 0) {
    return ReadOnlyFile();
  }
  return ReadOnlyFile(static_cast<int>(copy.Release()));
}

std::optional<std::vector<uint8_t>> ReadOnlyFile::ReadContents() const {
  struct stat status {};
  if (descriptor_ < 0 || fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) {
    return std::nullopt;
  }
  std::vector<uint8_t> content(static_cast<size_t>(status.st_size));
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t count =
        pread(descriptor_, content.data() + done, content.size() - done, static_cast<off_t>(done));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return std::nullopt;
    done += static_cast<size_t>(count);
  }
  return content;
}

void ReadOnlyFile::Close() {
  if (descriptor_ >= 0) close(std::exchange(descriptor_, -1));
}

std::string FullPathName(const std::string& path) {
  if (path.empty()) {
    errno = EINVAL;
    return {};
  }
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) {
    errno = error.value();
    return {};
  }
  std::string full = absolute.lexically_normal().string();
  if (full.size() > MaxPathLength()) {
    errno = ENAMETOOLONG;
    return {};
  }
  return full;
}

size_t MaxPathLength() { return PATH_MAX - 1; }

size_t MaxFileNameLength() { return NAME_MAX; }

char PathSeparator() { return '/'; }

const char* SharedLibrarySuffix() { return ".so"; }

bool FileExists(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool IsExecutableFile(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         (status.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

std::optional<DirectoryListing> DirectoryListing::Open(const std::string& path) {
  DIR* stream = opendir(path.c_str());
  if (stream == nullptr) return std::nullopt;
  return DirectoryListing(stream);
}

std::optional<std::string> DirectoryListing::Next() {
  if (stream_ == nullptr) return std::nullopt;
  const dirent* entry = readdir(static_cast<DIR*>(stream_));
  if (entry == nullptr) return std::nullopt;
  return std::string(entry->d_name);
}

void DirectoryListing::Close() {
  if (stream_ != nullptr) closedir(static_cast<DIR*>(std::exchange(stream_, nullptr)));
}

namespace {

std::string ExecutableDirectory() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : executable.parent_path().string();
}

std::string CurrentDirectory() {
  std::error_code error;
  const std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::string() : current.string();
}

bool IsRegularFile(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

std::vector<std::string> LibrarySearchDirectories() {
  std::vector<std::string> directories;
  auto add = [&directories](std::string directory) {
    if (directory.empty()) return;
    if (directory.back() != '/') directory.push_back('/');
    directories.push_back(std::move(directory));
  };
  add(ExecutableDirectory());
  add(CurrentDirectory());
  for (const char* system : {"usr/local/lib", "usr/lib", "lib"}) add(MachinePath(system));
  if (const char* variable = std::getenv("LD_LIBRARY_PATH")) {
    const std::string list = variable;
    size_t start = 0;
    while (start <= list.size()) {
      const size_t end = std::min(list.find(':', start), list.size());
      add(list.substr(start, end - start));
      start = end + 1;
    }
  }
  return directories;
}

std::optional<std::string> SearchPath(const std::string& fileName) {
  for (const std::string& directory : LibrarySearchDirectories()) {
    const std::string candidate = directory + fileName;
    if (IsRegularFile(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace platform
