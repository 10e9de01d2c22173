#include "stream_policy.h"

#include <algorithm>

namespace luxsim {

void EventOutputSwitch::Set(ClientId client, bool on) {
  if (on) {
    clients_.insert(client);
  } else {
    clients_.erase(client);
  }
}

bool FrequentEventsFilter::Admits(PerFrameRecord kind, const Session& session,
                                  uint32_t frequentPid) {
  std::set<SessionId>* firstSent = kind == PerFrameRecord::kFrameSubmitted    ? &firstFrameSent_
                                   : kind == PerFrameRecord::kLayersSubmitted ? &firstLayersSent_
                                                                              : nullptr;
  const bool isFirst = firstSent != nullptr && firstSent->insert(session.id).second;
  return isFirst || (frequentPid != 0 && session.pid == frequentPid);
}

void FrequentEventsFilter::Forget(SessionId session) {
  firstFrameSent_.erase(session);
  firstLayersSent_.erase(session);
}

bool LostFrameRule::OnCompositorFrame(const Session* visible) {
  if (visible == nullptr) {
    judged_.reset();
    return false;
  }
  const uint64_t delivered = visible->framesSubmitted;
  if (judged_ != visible->id) {  // newly in front: what it delivered before is not shown
    judged_ = visible->id;
    framesTaken_ = delivered;
    return false;
  }
  if (delivered == framesTaken_) return true;
  framesTaken_ = std::max(framesTaken_ + 1, delivered - 1);  // at most one frame waits
  return false;
}

}  // namespace luxsim
