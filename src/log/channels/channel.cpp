#include "log/channels/channel.h"

#include "log/channels/logging_functions.h"
#include "platform/dynamic_library.h"

namespace luxlog {

namespace {

template <typename Function>
Function Bound(const std::function<void*(const char*)>& lookup, const char* name, Function own) {
  void* const found = lookup(name);
  return found != nullptr ? reinterpret_cast<Function>(found) : own;
}

/// The functions of this module's channels, bound by its first channel.
const LoggingFunctions& ModuleFunctions() {
  static const LoggingFunctions functions = BindLoggingFunctions(platform::MainProgramProcAddress);
  return functions;
}

}  // namespace

LoggingFunctions BindLoggingFunctions(const std::function<void*(const char*)>& lookup) {
  return {Bound(lookup, "OutputWorkerOutputFunctionC", &OutputWorkerOutputFunctionC),
          Bound(lookup, "ConfiguratorRegisterC", &ConfiguratorRegisterC),
          Bound(lookup, "ConfiguratorUnregisterC", &ConfiguratorUnregisterC),
          Bound(lookup, "ConfiguratorOnChannelLevelChangeC", &ConfiguratorOnChannelLevelChangeC)};
}

Channel::Channel(const char* name)
    : name_(MakeChannelName(name)), registration_{name_.data(), &level_, &levelLocked_} {
  ModuleFunctions().registerChannel(&registration_);
}

Channel::~Channel() { ModuleFunctions().unregisterChannel(&registration_); }

void Channel::SetLevel(uint32_t level, bool lock) {
  level_.store(level);
  levelLocked_.store(lock);
  ModuleFunctions().levelChange(this, level);
}

bool Channel::Writes(uint32_t level) const {
  const uint32_t own = level_.load();
  return own != kDisabled && level >= own;
}

void Channel::Log(uint32_t level, const std::string& text) const {
  if (Writes(level)) ModuleFunctions().output(Name(), level, text.c_str(), 0, 0);
}

}  // namespace luxlog
