#include "support/shell_service.h"

#include <sstream>

#include "hub/hub_message.h"

namespace testsupport {

std::string ShellMessage(const std::string& id, const std::string& payloadType,
                         const std::string& payload, const std::string& messageType) {
  return R"({"messageType":")" + messageType + R"(","sequenceId":")" + id + R"(","payloadType":")" +
         payloadType + R"(","payload":)" + payload + "}";
}

std::string SequenceIdOf(const Json::Value& request) {
  return QasValidator::StringMember(request, "sequenceId").value_or("");
}

std::string RequestNameOf(const Json::Value& request) {
  return QasValidator::StringMember(request, "requestName").value_or("");
}

ShellService::ShellService(Responder responder) : responder_(std::move(responder)) {
  toClient_.Setup(IPC::kCallKindCall);
}

ShellService::~ShellService() {
  server_.Stop();
  std::vector<std::thread> later;
  {
    std::lock_guard lock(mutex_);
    later.swap(later_);
  }
  for (std::thread& thread : later) thread.join();
}

std::vector<std::string> ShellService::OkToEverything(const Json::Value& request) {
  return {ShellMessage(SequenceIdOf(request), "PLAIN_STRING", R"({"value":"OK"})")};
}

void ShellService::DisconnectLater(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  later_.emplace_back([this, delay] {
    std::this_thread::sleep_for(delay);
    if (auto connection = Connection()) connection->Close();
  });
}

std::vector<std::string> ShellService::Requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::shared_ptr<IPC::ServerConnection> ShellService::Connection() {
  std::lock_guard lock(mutex_);
  return connection_;
}

void ShellService::OnClientConnected(const std::shared_ptr<IPC::ServerConnection>& connection) {
  connection->Register("toHub", *this, &ShellService::ToHub);
  std::lock_guard lock(mutex_);
  connection_ = connection;
}

void ShellService::ToHub(std::string json) {
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(json);
  }
  const std::optional<Json::Value> request = QasValidator::ParseHubMessage(json);
  if (!request) return;
  std::shared_ptr<IPC::ServerConnection> connection = Connection();
  for (const std::string& message : responder_(*request)) connection->Call(toClient_, message);
}

ShellService::Responder Answering(ShellScript script) {
  return [script = std::move(script)](const Json::Value& request) {
    const std::optional<ShellAnswer> answer = script(RequestNameOf(request));
    if (!answer) return ShellService::OkToEverything(request);
    return std::vector<std::string>{
        ShellMessage(SequenceIdOf(request), answer->first, answer->second)};
  };
}

ShellAnswer PidAnswer(uint32_t processId) {
  return {"PLAIN_PID", R"({"pid":)" + std::to_string(processId) + "}"};
}

std::vector<std::string> RequestPaths(ShellService& shell) {
  std::vector<std::string> paths;
  for (const std::string& text : shell.Requests()) {
    const std::optional<Json::Value> request = QasValidator::ParseHubMessage(text);
    if (!request) continue;
    std::string path = RequestNameOf(*request);
    if (path == "/hardware/set_proximity_sensor") {
      path += (*request)["requestData"]["wearing_hmd"].asBool() ? " true" : " false";
    } else if (path == "/life_cycle/request_the_void") {
      path += (*request)["requestData"]["requestTheVoid"].asBool() ? " true" : " false";
    }
    paths.push_back(path);
  }
  return paths;
}

std::string WithoutShellClientLines(const std::string& text) {
  std::istringstream lines(text);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("Connecting client (Response: ") ||
        line.starts_with("Sending message to HUB: ") || line.starts_with("Response from HUB: ")) {
      continue;
    }
    kept += line + "\n";
  }
  return kept;
}

}  // namespace testsupport
