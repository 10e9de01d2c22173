#include "hub/hub_remote_control.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "hub/hub_message.h"
#include "ipc/call_status.h"
#include "log/validator_log.h"

namespace QasValidator {

namespace {

constexpr char kServerName[] = "HUB_IPC";

}  // namespace

HubRemoteControl::HubRemoteControl(HubTiming timing) : timing_(timing) { Connect(); }

HubRemoteControl::~HubRemoteControl() {
  // The client's transport calls back into this object until it is gone.
  std::lock_guard lock(sendLock_);
  client_.reset();
}

void HubRemoteControl::Connect() {
  std::lock_guard lock(sendLock_);
  ConnectLocked();
}

void HubRemoteControl::ConnectLocked() {
  // The old connection goes first, so its disconnection cannot clear the flag of the new one.
  client_.reset();
  client_ = std::make_unique<IPC::Client>(*this);
  toHub_ = IPC::RemoteFunction("toHub", false);
  toHub_.Setup(IPC::kCallKindCall);
  client_->Register("toClient", *this, &HubRemoteControl::OnMessage);
  connected_.store(true);
  const int32_t result = client_->Connect(kServerName);
  if (result != 0) connected_.store(false);
  LogVerbose("Connecting client (Response: " + std::to_string(result) + ")");
}

bool HubRemoteControl::SendRequest(const std::string& path, const Json::Value& data,
                                   Json::Value& response, ResponseUse use) {
  const uint32_t id = requestCounter_.fetch_add(1);
  response = Json::Value();
  return Send(BuildRequestEnvelope(path, data, id), std::to_string(id), use, response);
}

bool HubRemoteControl::Send(const std::string& json, const std::string& id, ResponseUse use,
                            Json::Value& response) {
  std::lock_guard sendLock(sendLock_);
  if (!connected_.load()) {
    LogVerbose("Client is not currently connected, reconnecting");
    std::this_thread::sleep_for(std::chrono::milliseconds(timing_.reconnectPauseMs));
    ConnectLocked();
  }
  Log(LogLevel::Verbose, {"Sending message to HUB: ", json});
  const uint8_t status = client_->CallWithin(timing_.responseTimeoutMs, toHub_, json);
  if (status == IPC::kCallTimedOut) {
    LogTimeout();
    return false;
  }
  if (status != IPC::kCallSuccess) {
    Log(LogLevel::Error, {"Message from HUB returned an error: ", "ERROR: Failed to send message: ",
                          IPC::CallStatusText(status)});
    return false;
  }
  std::unique_lock list(listLock_);
  const auto own = [this, &id] {
    return std::find_if(messages_.begin(), messages_.end(),
                        [&id](const Json::Value& message) { return HasSequenceId(message, id); });
  };
  // Responses to other requests (one that timed out earlier) wake the wait but stay listed.
  const bool woken =
      responseEvent_.wait_for(list, std::chrono::milliseconds(timing_.responseTimeoutMs),
                              [&] { return own() != messages_.end() || !connected_.load(); });
  const auto found = own();
  if (found == messages_.end()) {
    list.unlock();
    if (!woken) LogTimeout();
    return false;
  }
  if (use == ResponseUse::kTake) {
    response = std::move(*found);
    messages_.erase(found);
  }
  return true;
}

void HubRemoteControl::LogTimeout() const {
  LogError("Response from HUB was not received before timeout (" +
           std::to_string(timing_.responseTimeoutMs / 1000) + " seconds)");
}

void HubRemoteControl::OnMessage(std::string_view message) {
  std::optional<Json::Value> parsed = ParseHubMessage(message);
  if (!parsed) {
    LogError("Unable to parse message received from HUB");
    return;
  }
  const bool response = IsResponse(*parsed);
  {
    std::lock_guard lock(listLock_);
    if (messages_.size() == kMaxKeptMessages) {
      messages_.pop_front();
      ++droppedMessages_;
    }
    messages_.push_back(std::move(*parsed));
  }
  if (response) {
    Log(LogLevel::Verbose, {"Response from HUB: ", message});
    responseEvent_.notify_all();
  }
}

void HubRemoteControl::OnDisconnected() {
  {
    std::lock_guard lock(listLock_);
    connected_.store(false);
  }
  responseEvent_.notify_all();
}

void HubRemoteControl::ClearMessages() {
  std::lock_guard lock(listLock_);
  messages_.clear();
}

std::vector<Json::Value> HubRemoteControl::ReceivedMessages() const {
  std::lock_guard lock(listLock_);
  return {messages_.begin(), messages_.end()};
}

uint64_t HubRemoteControl::DroppedMessages() const {
  std::lock_guard lock(listLock_);
  return droppedMessages_;
}

}  // namespace QasValidator
