#include "platform/dynamic_library.h"

#include <utility>

// A loaded module's ownership moves the same way on every system; loading and freeing are the
// backend's.

namespace platform {

LoadedModule::~LoadedModule() { Free(); }

LoadedModule::LoadedModule(LoadedModule&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

LoadedModule& LoadedModule::operator=(LoadedModule&& other) noexcept {
  if (this != &other) {
    Free();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

}  // namespace platform
