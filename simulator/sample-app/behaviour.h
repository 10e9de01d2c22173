#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

/// A client SDK version as an application reports the SDK it was built with.
struct SdkVersion {
  uint32_t product = 0;
  uint32_t major = 0;
  uint32_t minor = 0;

  bool operator==(const SdkVersion&) const = default;
};

/// What the application does when the runtime asks it to quit.
enum class QuitResponse {
  kEnd,                           // it destroys its session and ends
  kIgnore,                        // it goes on rendering (the close request still ends it)
  kDestroySessionAndKeepRunning,  // it destroys its session and runs on until the close request
  kCrash,                         // it crashes (by the crash signal, SIGSEGV unless given)
};

/// What the application does while the headset's display is lost (its HDMI cable is out).
enum class DisplayLostResponse {
  kPause,        // it submits no frame while the display is lost and carries on after
  kIgnore,       // it keeps submitting, and each frame fails with the display-lost error
  kStopForGood,  // it submits no frame from the loss on, not even after
  kExit,         // it ends with `displayLostExitCode`
};

/// Where the application plays its sound.
enum class AudioDevice {
  kRuntime,  // the device the runtime selects (lux_GetAudioDeviceOutGuidStr)
  kDefault,  // the system's default device, whatever the runtime selects
  kTarn,     // the headset's device ("Tarn Audio" in its name), whatever the runtime selects
  kBoth,     // the default device and the headset's
  kNone,     // none: the application is silent
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
  /// The SDK version reported with lux_ReportClientInfo instead of the one the application was
  /// compiled with (an application built with an older SDK).
  std::optional<SdkVersion> reportedSdkVersion;

  // Visibility. A well-behaved application commits its swap chain only while it is shown: while
  // visible, and, when it is focus aware, behind the dash.
  /// Declares focus awareness at lux_Initialize (luxInit_FocusAware).
  bool focusAware = false;
  /// A focus-aware application keeps rendering behind the dash.
  bool commitBehindDash = true;
  bool commitWhenVisible = true;
  /// Commits in every frame, also while not shown.
  bool commitWhenNotVisible = false;
  /// Commits once, this long into every stretch of time in which it is not shown.
  std::optional<std::chrono::milliseconds> strayCommitAfter;

  // Requests of the runtime.
  /// The recenter flag is never cleared.
  bool ignoreRecenter = false;
  /// The recenter flag is cleared this long after it was first seen.
  std::chrono::milliseconds recenterDelay{0};
  QuitResponse quitResponse = QuitResponse::kEnd;

  // The runtime library and what the runtime reports about the application.
  /// Loads the copy of the runtime library in the application's own folder instead of the
  /// runtime's own.
  bool bundledRuntime = false;
  /// Runtime errors to cause, one every 500 ms from 500 ms after the first frame on.
  int runtimeErrors = 0;
  /// Runtime properties to read, all of them with the first frame and then once a second.
  std::vector<std::string> propertiesRead;

  // Render descriptions and poses.
  /// At most this many fetches of the render descriptions (both eyes) in any 10 s; every frame
  /// fetches them when not set.
  std::optional<int> renderDescriptionsPer10s;
  /// The render poses keep the eye offsets of the first fetch, whatever the runtime says later.
  bool fixedRenderPose = false;

  // Hardware.
  DisplayLostResponse displayLostResponse = DisplayLostResponse::kPause;
  int displayLostExitCode = 0;
  /// Renders on the machine's first display adapter instead of the one the runtime names for
  /// the headset.
  bool renderOnFirstAdapter = false;
  // Sound: a steady tone from the start, on the device the runtime selects.
  AudioDevice audioDevice = AudioDevice::kRuntime;
  /// The sound starts this long after the application's runtime is initialised.
  std::chrono::milliseconds soundDelay{0};
};

}  // namespace sampleapp
