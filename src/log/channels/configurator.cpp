#include "log/channels/configurator.h"

namespace luxlog {

void Configurator::Register(ChannelRegistration* registration) {
  std::lock_guard hold(lock_);
  registration->previous = nullptr;
  registration->next = head_;
  if (head_ != nullptr) head_->previous = registration;
  head_ = registration;
  if (configured_) Configure(*registration);
}

void Configurator::Unregister(ChannelRegistration* registration) {
  std::lock_guard hold(lock_);
  if (registration->previous != nullptr) {
    registration->previous->next = registration->next;
  } else if (head_ == registration) {
    head_ = registration->next;
  }
  if (registration->next != nullptr) registration->next->previous = registration->previous;
  registration->next = registration->previous = nullptr;
}

void Configurator::ApplyConfiguredLevel() {
  std::lock_guard hold(lock_);
  configured_ = true;
  for (ChannelRegistration* entry = head_; entry != nullptr; entry = entry->next) {
    Configure(*entry);
  }
}

void Configurator::Configure(const ChannelRegistration& registration) {
  // No level-change listener is installed that could adjust the configured level.
  if (!registration.levelLocked->load()) registration.level->store(kConfiguredLevel);
}

}  // namespace luxlog
