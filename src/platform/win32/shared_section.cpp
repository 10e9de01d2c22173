#include "platform/shared_section.h"

#include <windows.h>
#include <winternl.h>

#include <utility>

// A section is a page-file-backed file mapping (CreateFileMapping without a file). A section's
// size is fixed when it is created, so a mapping of it never faults; a section adopted from
// another process must be exactly the expected size (NtQuerySection's basic information).

namespace platform {

namespace {

// NtQuerySection's SectionBasicInformation, which winternl.h does not declare.
struct SectionBasicInformation {
  PVOID baseAddress;
  ULONG attributes;
  LARGE_INTEGER size;
};
constexpr int kSectionBasicInformation = 0;
using NtQuerySectionFunction = NTSTATUS(NTAPI*)(HANDLE, int, PVOID, SIZE_T, PSIZE_T);

std::optional<uint64_t> SectionSize(HANDLE section) {
  static const auto query = reinterpret_cast<NtQuerySectionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySection")));
  SectionBasicInformation information{};
  if (query == nullptr || !NT_SUCCESS(query(section, kSectionBasicInformation, &information,
                                            sizeof information, nullptr))) {
    return std::nullopt;
  }
  return static_cast<uint64_t>(information.size.QuadPart);
}

uint8_t* Map(HANDLE section, size_t size) {
  return static_cast<uint8_t*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, size));
}

}  // namespace

std::optional<SharedSection> SharedSection::Create(size_t size) {
  if (size == 0) return std::nullopt;
  const auto size64 = static_cast<uint64_t>(size);
  OwnedHandle handle(reinterpret_cast<intptr_t>(
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                         static_cast<DWORD>(size64 >> 32), static_cast<DWORD>(size64), nullptr)));
  if (handle.Get() == 0) handle.Release();
  if (!handle.IsValid()) return std::nullopt;
  uint8_t* base = Map(reinterpret_cast<HANDLE>(handle.Get()), size);
  if (base == nullptr) return std::nullopt;
  return SharedSection(std::move(handle), base, size);
}

std::optional<SharedSection> SharedSection::Open(OwnedHandle handle, size_t expectedSize) {
  if (!handle.IsValid() || expectedSize == 0) return std::nullopt;
  const auto section = reinterpret_cast<HANDLE>(handle.Get());
  const std::optional<uint64_t> size = SectionSize(section);
  if (!size || *size != expectedSize) return std::nullopt;
  uint8_t* base = Map(section, expectedSize);
  if (base == nullptr) return std::nullopt;
  return SharedSection(std::move(handle), base, expectedSize);
}

void SharedSection::Unmap() {
  if (base_ != nullptr) UnmapViewOfFile(base_);
  base_ = nullptr;
  size_ = 0;
}

}  // namespace platform
