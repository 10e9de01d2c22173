#pragma once

#include <cstdint>
#include <optional>
#include <set>

#include "runtime_observer.h"

// The decisions of the realtime event stream: when it runs, which per-frame records go out and
// which compositor frames an application lost.

namespace luxsim {

/// The runtime's realtime event output is on while at least one connected client has switched
/// it on (luxi_EnableRealtimeEventOutput); a client that goes away no longer counts.
class EventOutputSwitch {
 public:
  /// Notes the switch of `client`.
  void Set(ClientId client, bool on);
  /// Forgets a client that went away.
  void Forget(ClientId client) { clients_.erase(client); }
  bool IsOn() const { return !clients_.empty(); }

 private:
  std::set<ClientId> clients_;  // the clients that switched the output on
};

/// The records that come with every frame, or nearly every frame, of an application.
enum class PerFrameRecord {
  kFrameSubmitted,
  kLayersSubmitted,
  kRenderPoseSubmitted,
  kRenderDescFetched,
  kSwapChainCommitted,
};

/// Per-frame records go out only for the process that asked for frequent events (the runtime
/// setting "FrequentTelEventPid"), so that a stream carrying every application's frames does
/// not drown the listener. Every session's first frame-submitted and first layers-submitted
/// records go out whoever it belongs to: a tool learns which process to ask frequent events
/// for only once that process has a session, and by then its first frame may be gone; the
/// time to the first frame and the layers it showed are facts about that very first frame.
class FrequentEventsFilter {
 public:
  /// Whether a record of `kind` about `session` goes out while `frequentPid` is the process
  /// that asked for frequent events (0: none). Notes the first frame and layers records.
  bool Admits(PerFrameRecord kind, const Session& session, uint32_t frequentPid);
  /// Forgets a session that ended.
  void Forget(SessionId session);

 private:
  std::set<SessionId> firstFrameSent_;
  std::set<SessionId> firstLayersSent_;
};

/// Judges each compositor frame of the application in front: every compositor frame takes one
/// frame that the visible session delivered and the compositor has not taken yet, and is lost
/// when there is none. One delivered frame may wait for the next compositor frame; more are
/// dropped, the oldest first. So an application that renders at the display's rate loses
/// nothing when its frames arrive just before or just after the compositor's (its clock and the
/// compositor's are not in step), while one that falls behind loses a frame each time it has
/// none ready. A session is judged from its second compositor frame in front on; while no
/// session is visible, nothing is lost.
class LostFrameRule {
 public:
  /// Called at every compositor frame with the visible session (null when none is); true when
  /// that session's application lost this frame.
  bool OnCompositorFrame(const Session* visible);

 private:
  std::optional<SessionId> judged_;  // the session in front at the previous compositor frame
  uint64_t framesTaken_ = 0;         // how many of its frames the compositor took or dropped
};

}  // namespace luxsim
