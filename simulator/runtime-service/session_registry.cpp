#include "session_registry.h"

#include <algorithm>
#include <utility>

namespace luxsim {

SessionRegistry::SessionRegistry(HeadsetState& headset, std::function<double()> clock)
    : headset_(headset), clock_(std::move(clock)) {}

void SessionRegistry::Notify(const std::function<void(RuntimeObserver&)>& call) {
  for (RuntimeObserver* observer : observers_) call(*observer);
}

const Client& SessionRegistry::AddClient(uint32_t pid) {
  Client& client = clients_[nextClient_];
  client.id = nextClient_++;
  client.pid = pid;
  Notify([&](RuntimeObserver& observer) { observer.OnClientConnected(client); });
  return client;
}

void SessionRegistry::RemoveClient(ClientId client) {
  const auto found = clients_.find(client);
  if (found == clients_.end()) return;
  std::vector<SessionId> owned;
  for (auto& [id, session] : sessions_) {
    if (session.client != client) continue;
    session.clientGone = true;
    owned.push_back(id);
  }
  for (const SessionId id : owned) DestroySession(client, id);
  const Client gone = found->second;
  clients_.erase(found);
  Notify([&](RuntimeObserver& observer) { observer.OnClientDisconnected(gone); });
}

Client* SessionRegistry::FindClient(ClientId client) {
  return const_cast<Client*>(std::as_const(*this).FindClient(client));
}

const Client* SessionRegistry::FindClient(ClientId client) const {
  const auto found = clients_.find(client);
  return found != clients_.end() ? &found->second : nullptr;
}

void SessionRegistry::ReportClientBuild(ClientId client, const ClientBuild& build) {
  Client* found = FindClient(client);
  if (found == nullptr) return;
  found->build = build;
  Notify([&](RuntimeObserver& observer) { observer.OnClientBuildReported(*found); });
}

void SessionRegistry::ReportClientIdentity(ClientId client, const std::string& identity) {
  if (const Client* found = FindClient(client)) {
    Notify([&](RuntimeObserver& observer) { observer.OnClientIdentified(*found, identity); });
  }
}

void SessionRegistry::SetRealtimeEventOutput(ClientId client, bool enabled) {
  Client* found = FindClient(client);
  if (found == nullptr) return;
  found->realtimeEventOutput = enabled;
  Notify([&](RuntimeObserver& observer) { observer.OnRealtimeEventOutputChanged(*found); });
}

void SessionRegistry::ReportPropertyRead(ClientId client, const std::string& name) {
  if (const Client* found = FindClient(client)) {
    Notify([&](RuntimeObserver& observer) { observer.OnPropertyRead(*found, name); });
  }
}

const Session& SessionRegistry::CreateSession(ClientId client) {
  Session& session = sessions_[nextSession_];
  session.id = nextSession_++;
  session.client = client;
  session.pid = clients_.at(client).pid;
  session.createdTime = clock_();
  Notify([&](RuntimeObserver& observer) { observer.OnSessionCreated(session); });
  focused_ = session.id;
  RefreshStatuses();
  return session;
}

bool SessionRegistry::DestroySession(ClientId client, SessionId id) {
  const auto found = sessions_.find(id);
  if (found == sessions_.end() || found->second.client != client) return false;
  const Session gone = found->second;
  sessions_.erase(found);
  if (focused_ == id) {
    // The focus goes back to the newest remaining session.
    focused_.reset();
    if (!sessions_.empty()) focused_ = sessions_.rbegin()->first;
  }
  Notify([&](RuntimeObserver& observer) { observer.OnSessionDestroyed(gone); });
  RefreshStatuses();
  return true;
}

const Session* SessionRegistry::FindSession(ClientId client, SessionId id) const {
  const auto found = sessions_.find(id);
  if (found == sessions_.end() || found->second.client != client) return nullptr;
  return &found->second;
}

Session* SessionRegistry::MutableSession(SessionId id) {
  const auto found = sessions_.find(id);
  return found != sessions_.end() ? &found->second : nullptr;
}

std::vector<const Session*> SessionRegistry::Sessions() const {
  std::vector<const Session*> all;
  for (const auto& [id, session] : sessions_) all.push_back(&session);
  return all;
}

const Session* SessionRegistry::FocusedSession() const {
  if (!focused_) return nullptr;
  const auto found = sessions_.find(*focused_);
  return found != sessions_.end() ? &found->second : nullptr;
}

void SessionRegistry::ReportFrame(const Session& session, int64_t frameIndex,
                                  const std::vector<SubmittedLayer>& layers) {
  Session* mutableSession = MutableSession(session.id);
  ++mutableSession->framesSubmitted;
  Notify([&](RuntimeObserver& observer) {
    observer.OnFrameSubmitted(*mutableSession, frameIndex, layers);
  });
}

void SessionRegistry::ReportRenderDesc(const Session& session, luxEyeType eye,
                                       const luxPosef& eyePose) {
  Notify([&](RuntimeObserver& observer) { observer.OnRenderDescFetched(session, eye, eyePose); });
}

uint64_t SessionRegistry::CreateSwapChain(const Session& session) {
  const uint64_t swapChain = nextSwapChain_++;
  MutableSession(session.id)->swapChains.push_back(swapChain);
  return swapChain;
}

bool SessionRegistry::CommitSwapChain(const Session& session, uint64_t swapChain) {
  const std::vector<uint64_t>& chains = session.swapChains;
  if (std::find(chains.begin(), chains.end(), swapChain) == chains.end()) return false;
  Notify([&](RuntimeObserver& observer) { observer.OnSwapChainCommitted(session, swapChain); });
  return true;
}

bool SessionRegistry::DestroySwapChain(const Session& session, uint64_t swapChain) {
  std::vector<uint64_t>& chains = MutableSession(session.id)->swapChains;
  const auto found = std::find(chains.begin(), chains.end(), swapChain);
  if (found == chains.end()) return false;
  chains.erase(found);
  return true;
}

void SessionRegistry::ClearRecenter(const Session& session) {
  Session* mutableSession = MutableSession(session.id);
  const bool wasRequested = mutableSession->shouldRecenter;
  mutableSession->shouldRecenter = false;
  Notify([&](RuntimeObserver& observer) { observer.OnRecenterFlagCleared(*mutableSession); });
  if (wasRequested) RefreshStatuses();
}

void SessionRegistry::SetRenderAdapter(const Session& session, uint64_t luid) {
  MutableSession(session.id)->renderAdapterLuid = luid;
}

void SessionRegistry::RequestQuit(SessionId session) {
  if (Session* found = MutableSession(session)) {
    found->shouldQuit = true;
    RefreshStatuses();
  }
}

void SessionRegistry::RequestRecenter(SessionId session) {
  if (Session* found = MutableSession(session)) {
    found->shouldRecenter = true;
    RefreshStatuses();
  }
}

void SessionRegistry::RefreshStatuses() {
  for (auto& [id, session] : sessions_) {
    SessionStatus status;
    status.hmdPresent = headset_.Connected();
    status.hmdMounted = headset_.Connected() && headset_.Mounted();
    const bool inFront = focused_ == id && status.hmdMounted;
    const ShellShows shown = shellView_ ? shellView_(session) : ShellShows::kSession;
    status.visible = inFront && shown == ShellShows::kSession;
    status.overlayPresent = inFront && shown == ShellShows::kDashOverSession;
    // The display is lost while the headset's cable is out; the session carries on after.
    status.displayLost = !headset_.Connected();
    status.shouldQuit = session.shouldQuit;
    status.shouldRecenter = session.shouldRecenter;
    if (status == session.status) continue;
    session.status = status;
    Notify([&](RuntimeObserver& observer) { observer.OnSessionStatusChanged(session); });
  }
}

}  // namespace luxsim
