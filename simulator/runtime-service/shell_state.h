#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "headset_state.h"
#include "runtime_observer.h"
#include "session_registry.h"

namespace luxsim {

/// Where the user is, as the shell reports it.
enum class ShellLocation {
  kUniversalMenu,    // "UM": the system's menu, no application in view
  kApp,              // "APP": the application in front is in view
  kHealthAndSafety,  // "HSW": the health-and-safety warning covers the application
  kAppClose,         // "APP_CLOSE": the application in front is being asked to quit
};

/// The name of a location on the wire ("UM", "APP", "HSW", "APP_CLOSE").
std::string_view LocationName(ShellLocation location);
/// The location of a name; nothing for an unknown name.
std::optional<ShellLocation> LocationFromName(std::string_view name);

/// The reason given when process `pid` has no session.
std::string NoSessionOf(uint32_t pid);

/// What became of a request to the shell: done, or refused with the reason.
struct ShellOutcome {
  static ShellOutcome Done() { return {}; }
  static ShellOutcome Refused(std::string reason) { return {std::move(reason)}; }

  bool IsDone() const { return reason.empty(); }

  std::string reason;  // empty when done
};

/// The shell's user-facing state over the sessions of the runtime: which application is in
/// front, the health-and-safety warning, the user's location, the dash shown over a process,
/// and the headset's audio and mirror settings. It drives the session registry (focus, quit and
/// recenter requests) and the headset (worn), and tells the registry whether the application in
/// front is in view, which decides its visible flag:
///
/// - The application in front is the registry's focused session: a new session comes to the
///   front at once; when the front session ends, the newest remaining one does.
/// - Each time an application comes to the front the user is brought to it (location "APP").
/// - The warning is shown for every newly launched application (a client whose sessions have
///   not acknowledged it yet) until it is acknowledged; while it is shown over the application
///   in front the location is "HSW".
/// - "UM" takes the user to the menu; "APP" back; "APP_CLOSE" shows the prompt that asks
///   whether to close the application in front, and the prompt's confirmation asks it to quit.
///   Closing an application directly ("/life_cycle/close_app") asks it to quit at once; the
///   location is "APP_CLOSE" while the application in front is being asked to quit.
/// - The application in front is in view when the location is "APP" and no dash is shown over
///   its process, whether or not it is focus aware. With the dash shown over it, the runtime
///   reports the overlay present to it, so that a focus-aware application keeps rendering.
///
/// Everything runs on the service's event loop.
class ShellState : public RuntimeObserver {
 public:
  struct Options {
    /// Show the health-and-safety warning to newly launched applications (a developer setting
    /// switches it off).
    bool healthAndSafetyWarning = true;
  };

  /// The headset's audio routing, per direction: "tarn" (the headset's audio) or
  /// "windowsDefault" (the system's default device).
  struct AudioMode {
    std::string output = "tarn";
    std::string input = "tarn";
  };

  /// Attaches the shell to the registry (as an observer and as its view of the sessions).
  ShellState(SessionRegistry& sessions, HeadsetState& headset, Options options);
  ~ShellState() override;
  ShellState(const ShellState&) = delete;
  ShellState& operator=(const ShellState&) = delete;

  ShellLocation Location() const;
  bool HealthAndSafetyWarningNeeded() const;
  /// The process of the application in front; 0 when none.
  uint32_t FrontProcess() const;
  /// Whether the dash is shown over the application in front.
  bool DashShownOverFront() const;
  /// Whether the application of process `pid` declared itself focus aware; nothing when the
  /// process has no session.
  std::optional<bool> FocusAware(uint32_t pid) const;
  const AudioMode& Audio() const { return audio_; }
  /// The id of the audio device that applications are to play on: the headset's while the
  /// output is "tarn", empty (the system's default device) while it is "windowsDefault".
  std::string AudioOutputDevice() const;
  /// The mirror mode of a direction ("fromTarn", "fromDesktop"); "off" until set.
  const std::map<std::string, std::string>& MirrorModes() const { return mirror_; }

  /// The proximity sensor: the user wears the headset or not.
  void SetWorn(bool worn);
  ShellOutcome RequestLocation(std::string_view name);
  /// Acknowledges the warning shown over the application in front.
  ShellOutcome AcknowledgeWarning();
  /// The user's answer to what is shown: `confirm` acknowledges the warning or confirms the
  /// close prompt; otherwise the close prompt is dismissed (the warning cannot be).
  ShellOutcome PromptResponse(bool confirm);
  /// Asks every session of process `pid` to quit.
  ShellOutcome CloseApp(uint32_t pid);
  /// Asks every session of process `pid` to recenter.
  ShellOutcome RequestRecenter(uint32_t pid);
  /// Shows or hides the dash over process `pid`.
  ShellOutcome ShowDash(uint32_t pid, bool shown);
  /// Routes the headset's audio: `device` "tarn" or "windowsDefault", `mode` "output" or
  /// "input".
  ShellOutcome SetAudioMode(std::string_view device, std::string_view mode);
  /// Sets the mirror mode (any name, e.g. "off") of `direction` "fromTarn" or "fromDesktop".
  ShellOutcome SetMirrorMode(std::string_view mode, std::string_view direction);

  void OnSessionCreated(const Session& session) override;
  void OnSessionDestroyed(const Session& session) override;
  void OnClientDisconnected(const Client& client) override;

 private:
  // Where the user asked to be; the shown location follows from it (see Location).
  enum class Choice { kMenu, kApp, kClosePrompt, kClosing };

  bool WarningPendingFor(const Session& session) const;
  std::vector<const Session*> SessionsOf(uint32_t pid) const;
  ShellShows View(const Session& session) const;

  SessionRegistry& sessions_;
  HeadsetState& headset_;
  const Options options_;
  Choice choice_ = Choice::kApp;
  SessionId front_ = 0;               // the session last seen in front; 0 when none
  std::set<ClientId> acknowledged_;   // clients that acknowledged the warning
  std::set<uint32_t> dashShownOver_;  // processes
  AudioMode audio_;
  std::map<std::string, std::string> mirror_{{"fromTarn", "off"}, {"fromDesktop", "off"}};
};

}  // namespace luxsim
