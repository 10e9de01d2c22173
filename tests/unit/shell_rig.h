#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "headset_state.h"
#include "platform/machine.h"
#include "session_registry.h"
#include "shell_state.h"

namespace luxsim {

/// A headset, the session registry and the shell over them, wired as the runtime service wires
/// them, on the current machine prefix. `shell` is null when the headset could not be created.
struct ShellRig {
  explicit ShellRig(ShellState::Options options) {
    std::filesystem::create_directories(platform::RuntimeRunFolder());
    headset = HeadsetState::Create(true);
    if (!headset) return;
    registry = std::make_unique<SessionRegistry>(*headset, [] { return 1.0; });
    headset->AddListener([this] { registry->RefreshStatuses(); });
    shell = std::make_unique<ShellState>(*registry, *headset, options);
  }
  ShellRig(const ShellRig&) = delete;
  ShellRig& operator=(const ShellRig&) = delete;

  std::optional<HeadsetState> headset;
  std::unique_ptr<SessionRegistry> registry;
  std::unique_ptr<ShellState> shell;  // goes first
};

}  // namespace luxsim
