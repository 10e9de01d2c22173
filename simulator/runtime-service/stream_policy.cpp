#include "stream_policy.h"

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
  const bool judged = judged_ == visible->id;
  const bool lost = judged && visible->framesSubmitted == framesAtPreviousTick_;
  judged_ = visible->id;
  framesAtPreviousTick_ = visible->framesSubmitted;
  return lost;
}

}  // namespace luxsim
