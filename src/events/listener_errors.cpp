#include "events/listener_errors.h"

#include <utility>

namespace LUX::Telemetry {

void ListenerErrorList::Add(int32_t code, std::string message) {
  std::lock_guard lock(lock_);
  if (errors_.size() == kCapacity) errors_.pop_front();
  errors_.push_back({code, false, std::move(message)});
}

void ListenerErrorList::MarkAllTaken() {
  std::lock_guard lock(lock_);
  for (ListenerError& error : errors_) error.taken = true;
}

std::vector<ListenerError> ListenerErrorList::Snapshot() const {
  std::lock_guard lock(lock_);
  return {errors_.begin(), errors_.end()};
}

}  // namespace LUX::Telemetry
