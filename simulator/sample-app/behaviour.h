#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace sampleapp {

/// How the sample application starts.
enum class LauncherMode {
  kNone,          // it is the VR application
  kExit,          // it starts the VR application as a child and exits at once
  kWaitForChild,  // it starts the VR application as a child and ends with it
};

/// How the engine that built the application names itself (lux_IdentifyClient); empty fields
/// are left out.
struct EngineIdentity {
  std::string name;
  std::string version;
  std::string pluginName;
  std::string pluginVersion;

  bool Empty() const {
    return name.empty() && version.empty() && pluginName.empty() && pluginVersion.empty();
  }
};

/// Everything the switches choose. The defaults make a well-behaved application.
struct Behaviour {
  /// Frames per second the application renders at.
  double framesPerSecond = 90.0;
  /// Pause between the session's creation and the first frame.
  std::chrono::milliseconds firstFrameDelay{0};
  /// The first frame carries only a head-locked quad (layer kind 4), no head-tracked layer.
  bool firstFrameHeadLocked = false;
  /// The application ends on its own this long after it started.
  std::optional<std::chrono::milliseconds> endAfter;
  /// The exit code of that end.
  int exitCode = 0;
  /// End by this signal (a crash) instead of exiting; 0 for none.
  int crashSignal = 0;
  /// The close request (SIGTERM) is ignored.
  bool ignoreCloseRequest = false;
  LauncherMode launcher = LauncherMode::kNone;
  /// The first this many launches that count in `launchCountFile` raise the runtime's
  /// transient internal error, `transientErrorDelay` after creating their session.
  int transientErrorLaunches = 0;
  std::chrono::milliseconds transientErrorDelay{0};
  /// Where the launches are counted (created when missing).
  std::string launchCountFile;
  EngineIdentity engine;
};

}  // namespace sampleapp
