#include "shell_state.h"

#include <array>
#include <utility>

#include "protocol/simulated_headset.h"

namespace luxsim {

namespace {

constexpr std::array<std::pair<ShellLocation, std::string_view>, 4> kLocationNames = {{
    {ShellLocation::kUniversalMenu, "UM"},
    {ShellLocation::kApp, "APP"},
    {ShellLocation::kHealthAndSafety, "HSW"},
    {ShellLocation::kAppClose, "APP_CLOSE"},
}};

}  // namespace

std::string NoSessionOf(uint32_t pid) {
  return "No application session of process " + std::to_string(pid);
}

std::string_view LocationName(ShellLocation location) {
  for (const auto& [known, name] : kLocationNames) {
    if (known == location) return name;
  }
  return {};
}

std::optional<ShellLocation> LocationFromName(std::string_view name) {
  for (const auto& [location, known] : kLocationNames) {
    if (known == name) return location;
  }
  return std::nullopt;
}

ShellState::ShellState(SessionRegistry& sessions, HeadsetState& headset, Options options)
    : sessions_(sessions), headset_(headset), options_(options) {
  sessions_.AddObserver(this);
  sessions_.SetShellView([this](const Session& session) { return View(session); });
  if (const Session* front = sessions_.FocusedSession()) front_ = front->id;
  sessions_.RefreshStatuses();
}

ShellState::~ShellState() {
  sessions_.SetShellView(nullptr);
  sessions_.RemoveObserver(this);
}

ShellLocation ShellState::Location() const {
  const Session* front = sessions_.FocusedSession();
  if (front == nullptr) return ShellLocation::kUniversalMenu;
  switch (choice_) {
    case Choice::kMenu:
      return ShellLocation::kUniversalMenu;
    case Choice::kClosePrompt:
    case Choice::kClosing:
      return ShellLocation::kAppClose;
    case Choice::kApp:
      break;
  }
  return WarningPendingFor(*front) ? ShellLocation::kHealthAndSafety : ShellLocation::kApp;
}

bool ShellState::WarningPendingFor(const Session& session) const {
  return options_.healthAndSafetyWarning && !acknowledged_.contains(session.client);
}

bool ShellState::HealthAndSafetyWarningNeeded() const {
  const Session* front = sessions_.FocusedSession();
  return front != nullptr && WarningPendingFor(*front);
}

uint32_t ShellState::FrontProcess() const {
  const Session* front = sessions_.FocusedSession();
  return front != nullptr ? front->pid : 0;
}

bool ShellState::DashShownOverFront() const {
  const Session* front = sessions_.FocusedSession();
  return front != nullptr && dashShownOver_.contains(front->pid);
}

std::optional<bool> ShellState::FocusAware(uint32_t pid) const {
  const std::vector<const Session*> owned = SessionsOf(pid);
  if (owned.empty()) return std::nullopt;
  const Client* client = sessions_.FindClient(owned.front()->client);
  return client != nullptr && client->focusAware;
}

std::vector<const Session*> ShellState::SessionsOf(uint32_t pid) const {
  std::vector<const Session*> owned;
  for (const Session* session : sessions_.Sessions()) {
    if (session->pid == pid) owned.push_back(session);
  }
  return owned;
}

ShellShows ShellState::View(const Session& session) const {
  if (Location() != ShellLocation::kApp) return ShellShows::kSomethingElse;
  return dashShownOver_.contains(session.pid) ? ShellShows::kDashOverSession : ShellShows::kSession;
}

void ShellState::SetWorn(bool worn) { headset_.SetMounted(worn); }

ShellOutcome ShellState::RequestLocation(std::string_view name) {
  const std::optional<ShellLocation> location = LocationFromName(name);
  if (!location) return ShellOutcome::Refused("Unknown location: " + std::string(name));
  if (*location == ShellLocation::kUniversalMenu) {
    choice_ = Choice::kMenu;
  } else if (sessions_.FocusedSession() == nullptr) {
    return ShellOutcome::Refused("No application is in front");
  } else if (*location == ShellLocation::kAppClose) {
    choice_ = Choice::kClosePrompt;
  } else if (*location == ShellLocation::kApp || HealthAndSafetyWarningNeeded()) {
    choice_ = Choice::kApp;  // back to the application, or to the warning still shown over it
  } else {
    return ShellOutcome::Refused("No health and safety warning is pending");
  }
  sessions_.RefreshStatuses();
  return ShellOutcome::Done();
}

ShellOutcome ShellState::AcknowledgeWarning() {
  if (!HealthAndSafetyWarningNeeded()) {
    return ShellOutcome::Refused("No health and safety warning is shown");
  }
  acknowledged_.insert(sessions_.FocusedSession()->client);
  sessions_.RefreshStatuses();
  return ShellOutcome::Done();
}

ShellOutcome ShellState::PromptResponse(bool confirm) {
  const ShellLocation location = Location();
  if (location == ShellLocation::kHealthAndSafety) {
    if (!confirm) {
      return ShellOutcome::Refused("The health and safety warning can only be acknowledged");
    }
    return AcknowledgeWarning();
  }
  if (location != ShellLocation::kAppClose || choice_ != Choice::kClosePrompt) {
    return ShellOutcome::Refused("No prompt is shown");
  }
  if (!confirm) {
    choice_ = Choice::kApp;
    sessions_.RefreshStatuses();
    return ShellOutcome::Done();
  }
  return CloseApp(FrontProcess());
}

ShellOutcome ShellState::CloseApp(uint32_t pid) {
  const std::vector<const Session*> owned = SessionsOf(pid);
  if (owned.empty()) return ShellOutcome::Refused(NoSessionOf(pid));
  if (pid == FrontProcess()) choice_ = Choice::kClosing;
  for (const Session* session : owned) sessions_.RequestQuit(session->id);
  sessions_.RefreshStatuses();
  return ShellOutcome::Done();
}

ShellOutcome ShellState::RequestRecenter(uint32_t pid) {
  const std::vector<const Session*> owned = SessionsOf(pid);
  if (owned.empty()) return ShellOutcome::Refused(NoSessionOf(pid));
  for (const Session* session : owned) sessions_.RequestRecenter(session->id);
  return ShellOutcome::Done();
}

ShellOutcome ShellState::ShowDash(uint32_t pid, bool shown) {
  if (!shown) {
    dashShownOver_.erase(pid);
  } else if (SessionsOf(pid).empty()) {
    return ShellOutcome::Refused(NoSessionOf(pid));
  } else {
    dashShownOver_.insert(pid);
  }
  sessions_.RefreshStatuses();
  return ShellOutcome::Done();
}

ShellOutcome ShellState::SetAudioMode(std::string_view device, std::string_view mode) {
  if (device != "tarn" && device != "windowsDefault") {
    return ShellOutcome::Refused("Unknown audio device: " + std::string(device));
  }
  if (mode == "output") {
    audio_.output = device;
  } else if (mode == "input") {
    audio_.input = device;
  } else {
    return ShellOutcome::Refused("Unknown audio mode: " + std::string(mode));
  }
  return ShellOutcome::Done();
}

std::string ShellState::AudioOutputDevice() const {
  return audio_.output == "tarn" ? kHeadsetAudioDeviceId : "";
}

ShellOutcome ShellState::SetMirrorMode(std::string_view mode, std::string_view direction) {
  const auto found = mirror_.find(std::string(direction));
  if (found == mirror_.end()) {
    return ShellOutcome::Refused("Unknown mirror direction: " + std::string(direction));
  }
  if (mode.empty()) return ShellOutcome::Refused("The mirror mode is empty");
  found->second = mode;
  return ShellOutcome::Done();
}

void ShellState::OnSessionCreated(const Session& session) {
  // The registry gives the new session the focus right after this report.
  front_ = session.id;
  choice_ = Choice::kApp;
}

void ShellState::OnSessionDestroyed(const Session& session) {
  if (session.id != front_) return;
  // The registry has already moved the focus to the application now in front.
  const Session* front = sessions_.FocusedSession();
  front_ = front != nullptr ? front->id : 0;
  choice_ = Choice::kApp;
}

void ShellState::OnClientDisconnected(const Client& client) {
  acknowledged_.erase(client.id);
  dashShownOver_.erase(client.pid);
}

}  // namespace luxsim
