#include "log/channels/logging_functions.h"

#include <atomic>
#include <cstdlib>
#include <memory>

#include "log/channels/configurator.h"
#include "platform/clock.h"
#include "platform/console_output.h"
#include "platform/debugger.h"

namespace luxlog {

namespace {

// Made on first use, so that the channels of static objects in other files can register
// whatever the order in which the files' statics are made; it outlives every object that used it
// while being made.
Configurator& TheConfigurator() {
  static Configurator configurator;
  return configurator;
}

std::atomic<bool> workerStopped{false};

/// The module's worker with the outputs of the process. Made on first use; its destruction,
/// arranged by that first use, happens when the module is unloaded or the process exits.
class ModuleWorker {
 public:
  ModuleWorker()
      : debuggerAttached_(platform::IsDebuggerAttached()),
        worker_(platform::LocalTimeNow,
                debuggerAttached_ ? platform::OutputDebugText : OutputWorker::DebuggerCopy()) {
    if (!debuggerAttached_) worker_.AddOutput(std::make_shared<OutputDbgView>());
    if (platform::HasConsoleWindow()) {
      worker_.AddOutput(
          std::make_shared<OutputConsole>(std::getenv("LuxOutputToStdout") != nullptr));
    }
    TheConfigurator().ApplyConfiguredLevel();
    worker_.Start();
  }
  ~ModuleWorker() {
    workerStopped.store(true);
    worker_.Stop();
  }

  OutputWorker& Worker() { return worker_; }

 private:
  const bool debuggerAttached_;
  OutputWorker worker_;
};

}  // namespace

OutputWorker* ProcessOutputWorker() {
  // Threads that still log while the process exits find the worker gone and lose the message.
  if (workerStopped.load()) return nullptr;
  static ModuleWorker module;
  return &module.Worker();
}

}  // namespace luxlog

extern "C" void OutputWorkerOutputFunctionC(const char* channel, uint32_t level,
                                            const char* message, uint8_t noDebuggerCopy,
                                            int32_t force) {
  // Other modules call this: a missing name or text is written as empty.
  luxlog::OutputWorker* const worker = luxlog::ProcessOutputWorker();
  if (worker == nullptr) return;
  worker->Write(channel != nullptr ? channel : "", level, message != nullptr ? message : "",
                noDebuggerCopy != 0, force);
}

extern "C" void ConfiguratorRegisterC(luxlog::ChannelRegistration* registration) {
  if (registration != nullptr) luxlog::TheConfigurator().Register(registration);
}

extern "C" void ConfiguratorUnregisterC(luxlog::ChannelRegistration* registration) {
  if (registration != nullptr) luxlog::TheConfigurator().Unregister(registration);
}

extern "C" void ConfiguratorOnChannelLevelChangeC(luxlog::Channel*, uint32_t) {
  // Makes the worker; no level-change listener is installed that the change would concern.
  luxlog::ProcessOutputWorker();
}
