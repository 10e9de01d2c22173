#include "vr_application.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "frame_policy.h"
#include "launch_counter.h"
#include "lux/lux_capi.h"
#include "lux/lux_simulator.h"
#include "protocol/adapter_luid.h"
#include "runtime_library.h"
#include "tone_player.h"

namespace sampleapp {

namespace {

using namespace std::chrono_literals;

/// The runtime's transient internal error.
constexpr luxResult kTransientRuntimeError = -90011;
/// The error of the runtime errors the application causes on request.
constexpr luxResult kCausedRuntimeError = luxError_InvalidParameter;

std::atomic<bool> closeRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnCloseRequest(int) { closeRequested = true; }

void Report(const std::string& text) { std::cerr << "corvia-sample-app: " << text << std::endl; }

std::string RuntimeErrorText() {
  luxErrorInfo info{};
  lux_GetLastErrorInfo(&info);
  return std::to_string(info.Result) + " " + info.ErrorString;
}

/// The window-close request of a desktop application is SIGTERM here.
void HandleCloseRequest(bool ignore) {
  struct sigaction action {};
  action.sa_handler = ignore ? SIG_IGN : &OnCloseRequest;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
}

/// The engine's identity as "key value" lines.
std::string IdentityText(const EngineIdentity& engine) {
  std::string text;
  const auto line = [&text](const char* key, const std::string& value) {
    if (!value.empty()) text += std::string(key) + ": " + value + "\n";
  };
  line("EngineName", engine.name);
  line("EngineVersion", engine.version);
  line("EnginePluginName", engine.pluginName);
  line("EnginePluginVersion", engine.pluginVersion);
  return text;
}

/// Whether this launch raises the transient internal error.
bool RaisesTransientError(const Behaviour& behaviour) {
  if (behaviour.transientErrorLaunches <= 0 || behaviour.launchCountFile.empty()) return false;
  const std::optional<int> launch = CountLaunch(behaviour.launchCountFile);
  if (!launch) {
    Report("cannot count launches in " + behaviour.launchCountFile);
    return false;
  }
  return *launch <= behaviour.transientErrorLaunches;
}

/// Makes the runtime report the error `code` with `text` for this process, as for a failed call.
void RaiseRuntimeError(luxResult code, const std::string& text) {
  luxsim_RaiseRuntimeError_Fn* raise = nullptr;
  if (LUX_FAILURE(lux_Lookup("luxsim_RaiseRuntimeError", reinterpret_cast<void**>(&raise))) ||
      raise == nullptr) {
    Report("the runtime cannot raise errors: " + RuntimeErrorText());
    return;
  }
  raise(code, text.c_str(), luxFalse);
}

/// The session and the swap chain of the application, released on every path.
class VrSession {
 public:
  VrSession() = default;
  VrSession(const VrSession&) = delete;
  VrSession& operator=(const VrSession&) = delete;
  ~VrSession() { Destroy(); }

  /// Destroys the swap chain and the session (once).
  void Destroy() {
    if (swapChain_ != nullptr) lux_DestroyTextureSwapChain(session_, swapChain_);
    if (session_ != nullptr) lux_Destroy(session_);
    swapChain_ = nullptr;
    session_ = nullptr;
  }

  bool Create() {
    if (LUX_FAILURE(lux_Create(&session_, &headsetAdapter_))) {
      session_ = nullptr;
      Report("lux_Create failed: " + RuntimeErrorText());
      return false;
    }
    luxTextureSwapChainDesc desc{};
    desc.Type = luxTexture_2D;
    desc.Format = LUX_FORMAT_R8G8B8A8_UNORM_SRGB;
    desc.ArraySize = 1;
    desc.Width = 2 * 1440;
    desc.Height = 1600;
    desc.MipLevels = 1;
    desc.SampleCount = 1;
    if (LUX_FAILURE(lux_CreateTextureSwapChainGL(session_, &desc, &swapChain_))) {
      swapChain_ = nullptr;
      Report("lux_CreateTextureSwapChainGL failed: " + RuntimeErrorText());
      return false;
    }
    return true;
  }

  luxSession Session() const { return session_; }
  luxTextureSwapChain SwapChain() const { return swapChain_; }
  /// The display adapter that drives the headset, as lux_Create named it.
  const luxGraphicsLuid& HeadsetAdapter() const { return headsetAdapter_; }

 private:
  luxGraphicsLuid headsetAdapter_{};
  luxSession session_ = nullptr;
  luxTextureSwapChain swapChain_ = nullptr;
};

/// Tells the runtime on which display adapter the application renders (which a real runtime
/// learns from the application's graphics device): the headset's, or the machine's first.
void TellRenderAdapter(const VrSession& vr, bool firstAdapter) {
  luxGraphicsLuid adapter = vr.HeadsetAdapter();
  if (firstAdapter) {
    if (const std::optional<uint64_t> first = luxsim::DisplayAdapterLuid(0)) {
      std::memcpy(adapter.Reserved, &*first, sizeof adapter.Reserved);
    }
  }
  luxsim_SetRenderAdapter_Fn* tell = nullptr;
  if (LUX_FAILURE(lux_Lookup("luxsim_SetRenderAdapter", reinterpret_cast<void**>(&tell))) ||
      tell == nullptr || LUX_FAILURE(tell(vr.Session(), adapter))) {
    Report("cannot tell the runtime the render adapter: " + RuntimeErrorText());
  }
}

/// The runtime's initialisation, undone on every path.
class RuntimeConnection {
 public:
  bool Initialize(bool focusAware, const std::optional<SdkVersion>& reportedSdk) {
    luxInitParams params{};
    params.Flags = luxInit_RequestVersion | (focusAware ? luxInit_FocusAware : 0);
    params.RequestedMinorVersion = LUX_MINOR_VERSION;
    if (LUX_FAILURE(lux_Initialize(&params))) {
      Report("lux_Initialize failed: " + RuntimeErrorText());
      return false;
    }
    initialized_ = true;
    // What the SDK's own code reports about the build it was compiled into, unless the
    // application plays one built with another SDK.
    const SdkVersion sdk =
        reportedSdk.value_or(SdkVersion{LUX_PRODUCT_VERSION, LUX_MAJOR_VERSION, LUX_MINOR_VERSION});
    lux_ReportClientInfo(0, sdk.product, sdk.major, sdk.minor, LUX_PATCH_VERSION, LUX_BUILD_NUMBER);
    return true;
  }
  ~RuntimeConnection() {
    if (initialized_) lux_Shutdown();
  }

 private:
  bool initialized_ = false;
};

/// Why the frame loop ended.
enum class LoopEnd {
  kQuitRequested,  // the runtime asked the application to quit
  kStopped,        // the close request or the application's own end
  kRuntimeGone,    // a call to the runtime failed
  kDisplayLost,    // the display was lost and the application ends on it
};

/// Renders frame after frame at the chosen rate.
class FrameLoop {
 public:
  /// `transientErrorDue`: when to raise the transient internal error (never: the clock's end).
  FrameLoop(const Behaviour& behaviour, const VrSession& vr, Clock::time_point start,
            Clock::time_point transientErrorDue)
      : behaviour_(behaviour),
        vr_(vr),
        start_(start),
        transientErrorDue_(transientErrorDue),
        policy_(behaviour) {}

  /// Renders until the application is to stop.
  LoopEnd Run() {
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / behaviour_.framesPerSecond));
    Clock::time_point next = Clock::now();
    if (!SleepUntil(next + behaviour_.firstFrameDelay)) return LoopEnd::kStopped;
    next = Clock::now();
    for (long long frame = 0;; ++frame) {
      if (Clock::now() >= transientErrorDue_) {
        RaiseRuntimeError(kTransientRuntimeError, "Transient internal error (simulated)");
        transientErrorDue_ = Clock::time_point::max();
      }
      luxSessionStatus status{};
      if (LUX_FAILURE(lux_GetSessionStatus(vr_.Session(), &status))) {
        Report("lux_GetSessionStatus failed: " + RuntimeErrorText());
        return LoopEnd::kRuntimeGone;
      }
      if (status.ShouldQuit && behaviour_.quitResponse != QuitResponse::kIgnore) {
        return LoopEnd::kQuitRequested;
      }
      const bool displayLost = status.DisplayLost != luxFalse;
      if (displayLost && behaviour_.displayLostResponse == DisplayLostResponse::kExit) {
        return LoopEnd::kDisplayLost;
      }
      const Clock::time_point now = Clock::now();
      if (const int error = policy_.CausesRuntimeError(now)) {
        RaiseRuntimeError(kCausedRuntimeError, "Simulated runtime error " + std::to_string(error) +
                                                   " of " +
                                                   std::to_string(behaviour_.runtimeErrors));
      }
      if (policy_.ReadsProperties(now)) {
        for (const std::string& name : behaviour_.propertiesRead) {
          lux_GetString(vr_.Session(), name.c_str(), "");
        }
      }
      if (policy_.ClearsRecenterFlag(now, status.ShouldRecenter != luxFalse)) {
        lux_ClearShouldRecenterFlag(vr_.Session());
      }
      const bool commit = policy_.CommitsSwapChain(now, status.IsVisible != luxFalse,
                                                   status.OverlayPresent != luxFalse);
      if (policy_.SubmitsFrame(displayLost) && !RenderFrame(frame, now, commit)) {
        return LoopEnd::kRuntimeGone;
      }
      next += period;
      if (!SleepUntil(next)) return LoopEnd::kStopped;
    }
  }

  /// Waits, rendering nothing, for the close request or the application's own end.
  void Idle() { SleepUntil(Clock::time_point::max()); }

  /// The application's own end has come.
  bool EndDue() const {
    return behaviour_.endAfter && Clock::now() - start_ >= *behaviour_.endAfter;
  }

 private:
  // Sleeps until `deadline`, waking early for the close request or the application's end;
  // false when the application is to stop.
  bool SleepUntil(Clock::time_point deadline) {
    for (;;) {
      if (closeRequested || EndDue()) return false;
      const Clock::time_point now = Clock::now();
      if (now >= deadline) return true;
      std::this_thread::sleep_for(std::min<Clock::duration>(deadline - now, 10ms));
    }
  }

  // Fetches the eyes' render descriptions when the policy says so; the render poses follow
  // their eye offsets unless they are to stay fixed.
  void UpdateEyes(Clock::time_point now) {
    if (!policy_.FetchesRenderDescriptions(now)) return;
    const luxFovPort fov{1.0f, 1.0f, 1.0f, 1.0f};
    const bool offsetsFixed = behaviour_.fixedRenderPose && eyesFetched_;
    for (int eye = 0; eye < luxEye_Count; ++eye) {
      eyes_[eye] = lux_GetRenderDesc2(vr_.Session(), static_cast<luxEyeType>(eye), fov);
      if (!offsetsFixed) eyeOffsets_[eye] = eyes_[eye].HmdToEyePose;
    }
    eyesFetched_ = true;
  }

  bool RenderFrame(long long frame, Clock::time_point now, bool commit) {
    UpdateEyes(now);
    const double displayTime = lux_GetPredictedDisplayTime(vr_.Session(), frame);
    const luxTrackingState tracking = lux_GetTrackingState(vr_.Session(), displayTime, luxTrue);

    luxLayerEyeFov scene{};
    scene.Header.Type = luxLayerType_EyeFov;
    for (int eye = 0; eye < luxEye_Count; ++eye) {
      scene.ColorTexture[eye] = vr_.SwapChain();
      scene.Viewport[eye] = eyes_[eye].DistortedViewport;
      scene.Fov[eye] = eyes_[eye].Fov;
      // The eye's pose in the world: the head's position moved by the eye's offset.
      luxPosef pose = tracking.HeadPose.ThePose;
      pose.Position.x += eyeOffsets_[eye].Position.x;
      pose.Position.y += eyeOffsets_[eye].Position.y;
      pose.Position.z += eyeOffsets_[eye].Position.z;
      scene.RenderPose[eye] = pose;
    }
    scene.SensorSampleTime = displayTime;

    luxLayerQuad splash{};
    splash.Header.Type = luxLayerType_HeadLockedQuad;
    splash.ColorTexture = vr_.SwapChain();
    splash.QuadPoseCenter.Orientation.w = 1.0f;
    splash.QuadPoseCenter.Position.z = -1.5f;
    splash.QuadSize = {1.0f, 0.5f};

    const bool splashOnly = frame == 0 && behaviour_.firstFrameHeadLocked;
    const luxLayerHeader* layers[] = {splashOnly ? &splash.Header : &scene.Header};
    // The swap chain is committed when the frame is drawn (see FramePolicy).
    if (commit && LUX_FAILURE(lux_CommitTextureSwapChain(vr_.Session(), vr_.SwapChain()))) {
      Report("lux_CommitTextureSwapChain failed: " + RuntimeErrorText());
      return false;
    }
    const luxResult submitted = lux_SubmitFrame2(vr_.Session(), frame, nullptr, layers, 1);
    // A frame that the lost display refused goes nowhere; the application carries on.
    if (LUX_FAILURE(submitted) && submitted != luxError_DisplayLost) {
      Report("lux_SubmitFrame2 failed: " + RuntimeErrorText());
      return false;
    }
    return true;
  }

  const Behaviour& behaviour_;
  const VrSession& vr_;
  const Clock::time_point start_;
  Clock::time_point transientErrorDue_;
  FramePolicy policy_;
  luxEyeRenderDesc eyes_[luxEye_Count]{};  // the last fetched render descriptions
  luxPosef eyeOffsets_[luxEye_Count]{};    // the eye offsets the render poses use
  bool eyesFetched_ = false;
};

/// Starts the sound on the devices that `behaviour` chooses.
void StartSound(const Behaviour& behaviour, TonePlayer& player) {
  const auto playOnHeadset = [&] {
    if (const auto device = player.FindDevice("Tarn Audio")) {
      player.Play(*device, behaviour.soundDelay);
    }
  };
  switch (behaviour.audioDevice) {
    case AudioDevice::kRuntime: {
      char device[LUX_AUDIO_MAX_DEVICE_STR_SIZE] = {};
      if (LUX_FAILURE(lux_GetAudioDeviceOutGuidStr(device))) {
        Report("no sound: lux_GetAudioDeviceOutGuidStr failed: " + RuntimeErrorText());
        return;
      }
      player.Play(device, behaviour.soundDelay);  // empty: the system's default device
      return;
    }
    case AudioDevice::kDefault:
      player.Play("", behaviour.soundDelay);
      return;
    case AudioDevice::kTarn:
      playOnHeadset();
      return;
    case AudioDevice::kBoth:
      player.Play("", behaviour.soundDelay);
      playOnHeadset();
      return;
    case AudioDevice::kNone:
      return;
  }
}

/// A crash: the process ends by `signalNumber` without cleaning anything up.
[[noreturn]] void Crash(int signalNumber) {
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
  std::_Exit(128 + signalNumber);  // a signal whose default is to be ignored
}

}  // namespace

int RunVrApplication(const Behaviour& behaviour) {
  const Clock::time_point start = Clock::now();
  if (std::string error; !LoadRuntimeLibrary(behaviour.bundledRuntime, error)) {
    Report(error);
    return 1;
  }
  HandleCloseRequest(behaviour.ignoreCloseRequest);
  bool endedOnItsOwn = false;
  {
    RuntimeConnection runtime;
    if (!runtime.Initialize(behaviour.focusAware, behaviour.reportedSdkVersion)) return 1;
    if (!behaviour.engine.Empty()) lux_IdentifyClient(IdentityText(behaviour.engine).c_str());
    std::optional<TonePlayer> sound;
    if (behaviour.audioDevice != AudioDevice::kNone) StartSound(behaviour, sound.emplace());
    VrSession vr;
    if (!vr.Create()) return 1;
    TellRenderAdapter(vr, behaviour.renderOnFirstAdapter);
    const Clock::time_point transientErrorDue = RaisesTransientError(behaviour)
                                                    ? Clock::now() + behaviour.transientErrorDelay
                                                    : Clock::time_point::max();
    FrameLoop loop(behaviour, vr, start, transientErrorDue);
    const LoopEnd end = loop.Run();
    if (end == LoopEnd::kRuntimeGone) return 1;
    if (end == LoopEnd::kDisplayLost) return behaviour.displayLostExitCode;
    if (end == LoopEnd::kQuitRequested && behaviour.quitResponse == QuitResponse::kCrash) {
      Crash(behaviour.crashSignal != 0 ? behaviour.crashSignal : SIGSEGV);
    }
    if (end == LoopEnd::kQuitRequested &&
        behaviour.quitResponse == QuitResponse::kDestroySessionAndKeepRunning) {
      vr.Destroy();
      loop.Idle();
    }
    endedOnItsOwn = loop.EndDue() && !closeRequested;
    if (endedOnItsOwn && behaviour.crashSignal != 0) Crash(behaviour.crashSignal);
  }
  // The quit request, the close request and an exit of its own end with the session destroyed.
  return endedOnItsOwn ? behaviour.exitCode : 0;
}

}  // namespace sampleapp
