#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "headset_state.h"
#include "runtime_observer.h"

namespace luxsim {

/// What the shell shows of a session.
enum class ShellShows {
  kSession,          // the session itself: nothing of the shell covers it
  kDashOverSession,  // the dash, over the session (which a focus-aware application keeps drawing)
  kSomethingElse,    // the shell's own view (the menu, the warning, the close prompt)
};

/// The clients of the service and their sessions, with the status the runtime reports to each
/// session. The newest session has the focus; a session is visible while it has the focus, the
/// headset is connected and worn, and the shell shows it (see SetShellView); with the dash
/// shown over it instead, it is not visible but has the overlay-present flag. Every session's
/// display is lost while the headset is not connected (its HDMI cable is out). Every change is
/// reported to the observers.
class SessionRegistry {
 public:
  /// What the shell shows of a session: the session, the dash over it, or something else of
  /// its own.
  using ShellView = std::function<ShellShows(const Session&)>;

  /// `clock` gives the runtime's time in seconds.
  SessionRegistry(HeadsetState& headset, std::function<double()> clock);

  void AddObserver(RuntimeObserver* observer) { observers_.push_back(observer); }
  void RemoveObserver(RuntimeObserver* observer) { std::erase(observers_, observer); }
  /// Lets the shell hide the session in focus; without one, nothing covers it. The shell calls
  /// RefreshStatuses when its view changes.
  void SetShellView(ShellView view) { shellView_ = std::move(view); }

  const Client& AddClient(uint32_t pid);
  /// Ends the client's sessions and forgets it.
  void RemoveClient(ClientId client);
  Client* FindClient(ClientId client);
  const Client* FindClient(ClientId client) const;
  /// The SDK build the client library reported.
  void ReportClientBuild(ClientId client, const ClientBuild& build);
  /// What the application says about its engine and SDK (lux_IdentifyClient).
  void ReportClientIdentity(ClientId client, const std::string& identity);
  void SetRealtimeEventOutput(ClientId client, bool enabled);
  void ReportPropertyRead(ClientId client, const std::string& name);

  /// A new session of `client`, which gets the focus.
  const Session& CreateSession(ClientId client);
  bool DestroySession(ClientId client, SessionId session);
  /// The session `session` of `client`; sessions of other clients are not found.
  const Session* FindSession(ClientId client, SessionId session) const;
  std::vector<const Session*> Sessions() const;
  /// The session that has the focus; null when there is none.
  const Session* FocusedSession() const;

  void ReportFrame(const Session& session, int64_t frameIndex,
                   const std::vector<SubmittedLayer>& layers);
  void ReportRenderDesc(const Session& session, luxEyeType eye, const luxPosef& eyePose);
  uint64_t CreateSwapChain(const Session& session);
  bool CommitSwapChain(const Session& session, uint64_t swapChain);
  bool DestroySwapChain(const Session& session, uint64_t swapChain);
  /// The application has recentered: its recenter request is done.
  void ClearRecenter(const Session& session);
  /// The application renders the frames of `session` on the display adapter `luid`.
  void SetRenderAdapter(const Session& session, uint64_t luid);

  // Requests of the shell.
  void RequestQuit(SessionId session);
  void RequestRecenter(SessionId session);

  /// Works out every session's status again and reports the ones that changed.
  void RefreshStatuses();

 private:
  Session* MutableSession(SessionId session);
  void Notify(const std::function<void(RuntimeObserver&)>& call);

  HeadsetState& headset_;
  std::function<double()> clock_;
  std::vector<RuntimeObserver*> observers_;
  ShellView shellView_;
  std::map<ClientId, Client> clients_;
  std::map<SessionId, Session> sessions_;
  std::optional<SessionId> focused_;
  ClientId nextClient_ = 1;
  SessionId nextSession_ = 1;
  uint64_t nextSwapChain_ = 1;
};

}  // namespace luxsim
