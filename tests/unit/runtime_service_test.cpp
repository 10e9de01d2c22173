#include "runtime_service.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "core_requests.h"
#include "platform/named_event.h"
#include "protocol/framing.h"
#include "protocol/service_address.h"
#include "protocol/simulated_headset.h"
#include "support/read_file.h"
#include "usage_metrics_log.h"

namespace luxsim {
namespace {

// The runtime service running in a child process on a fresh machine prefix.
class ServiceProcess {
 public:
  ServiceProcess(const std::string& prefix, bool headsetConnected) {
    std::filesystem::remove_all(prefix);
    std::filesystem::create_directories(prefix);
    setenv("CORVIA_MACHINE_PREFIX", prefix.c_str(), 1);
    int ready[2];
    EXPECT_EQ(pipe(ready), 0);
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      _exit(RunService(prefix, headsetConnected, ready[1]));
    }
    close(ready[1]);
    char byte = 0;
    started_ = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
  }

  ~ServiceProcess() {
    if (pid_ > 0 && exitStatus_ < 0) Stop();
    unsetenv("CORVIA_MACHINE_PREFIX");
  }

  bool Started() const { return started_; }

  // The child's work; the service is destroyed before the child exits.
  static int RunService(const std::string& prefix, bool headsetConnected, int ready) {
    RuntimeService service({.headsetConnected = headsetConnected});
    service.AddModule(std::make_unique<CoreRequests>());
    service.AddModule(std::make_unique<UsageMetricsLog>(prefix + "/var/corvia/telemetry.jsonl"));
    std::string error;
    if (!service.Start(&error)) return 3;
    const bool told = write(ready, "R", 1) == 1;
    close(ready);
    return told && service.Run() ? 0 : 4;
  }

  // Ends the service with SIGTERM; its exit status.
  int Stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return exitStatus_;
  }

 private:
  pid_t pid_ = -1;
  bool started_ = false;
  int exitStatus_ = -1;
};

// A client that speaks the protocol over a plain socket.
class RawClient {
 public:
  RawClient() : socket_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = RuntimeServiceSocketPath();
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    connected_ =
        connect(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }

  bool Connected() const { return connected_; }

  void SendRaw(const std::string& bytes) {
    ASSERT_EQ(send(socket_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }

  Json::Value Call(const std::string& op, Json::Value fields = Json::objectValue) {
    fields["op"] = op;
    fields["id"] = ++lastId_;
    SendRaw(EncodeFrame(fields));
    for (;;) {
      if (std::optional<Json::Value> answer = decoder_.Next()) {
        EXPECT_EQ((*answer)["id"].asInt(), lastId_);
        return *answer;
      }
      char buffer[4096];
      const ssize_t count = recv(socket_.Get(), buffer, sizeof buffer, 0);
      if (count <= 0) return Json::nullValue;
      decoder_.Append(buffer, static_cast<size_t>(count));
    }
  }

  // True when the service closed the connection.
  bool ClosedByPeer() {
    char byte;
    return recv(socket_.Get(), &byte, 1, 0) == 0;
  }

 private:
  UniqueFd socket_;
  bool connected_ = false;
  FrameDecoder decoder_;
  int lastId_ = 0;
};

Json::Value Fields(std::initializer_list<std::pair<const char*, Json::Value>> fields) {
  Json::Value object(Json::objectValue);
  for (const auto& [key, value] : fields) object[key] = value;
  return object;
}

std::string Prefix(const char* name) { return testing::TempDir() + name; }

TEST(RuntimeService, ServesSessionsAndTheirStatus) {
  ServiceProcess service(Prefix("service_sessions"), true);
  ASSERT_TRUE(service.Started());
  RawClient client;
  ASSERT_TRUE(client.Connected());
  EXPECT_EQ(client.Call("hello", Fields({{"minor_version", 43}}))["result"].asInt(), 0);
  const Json::Value created = client.Call("create_session");
  EXPECT_EQ(created["result"].asInt(), 0);
  EXPECT_EQ(created["luid"].asUInt64(), kHeadsetAdapterLuid);
  const Json::Value session = created["session"];
  const Json::Value status = client.Call("session_status", Fields({{"session", session}}));
  ASSERT_EQ(status["status"].size(), 7u);
  EXPECT_TRUE(status["status"][0].asBool());
  EXPECT_TRUE(status["status"][1].asBool());
  EXPECT_FALSE(status["status"][3].asBool());

  Json::Value layers(Json::arrayValue);
  layers.append(Fields({{"type", 1}}));
  EXPECT_EQ(client
                .Call("submit_frame",
                      Fields({{"session", session}, {"frame", 1}, {"layers", layers}}))["result"]
                .asInt(),
            0);
  // Another client's session takes the focus: frames of the first are no longer shown.
  RawClient other;
  other.Call("hello");
  other.Call("create_session");
  EXPECT_EQ(client
                .Call("submit_frame",
                      Fields({{"session", session}, {"frame", 2}, {"layers", layers}}))["result"]
                .asInt(),
            luxSuccess_NotVisible);
  EXPECT_EQ(other.Call("session_status", Fields({{"session", session}}))["result"].asInt(),
            luxError_InvalidSession);

  EXPECT_EQ(client.Call("destroy_session", Fields({{"session", session}}))["result"].asInt(), 0);
  const Json::Value gone = client.Call("session_status", Fields({{"session", session}}));
  EXPECT_EQ(gone["result"].asInt(), luxError_InvalidSession);
  EXPECT_EQ(gone["error"].asString(), "No such session");
}

TEST(RuntimeService, WithoutAHeadsetNoSessionCanBeCreated) {
  ServiceProcess service(Prefix("service_no_headset"), false);
  ASSERT_TRUE(service.Started());
  EXPECT_FALSE(platform::IsNamedEventSignalled("CorviaHMDConnected"));
  RawClient client;
  const Json::Value answer = client.Call("create_session");
  EXPECT_EQ(answer["result"].asInt(), luxError_NoHmd);
  EXPECT_EQ(answer["error"].asString(), "No headset is connected");
}

TEST(RuntimeService, PropertiesAndTheSimulatedInterAxialDistance) {
  ServiceProcess service(Prefix("service_properties"), true);
  ASSERT_TRUE(service.Started());
  RawClient client;
  const Json::Value session = client.Call("create_session")["session"];
  EXPECT_TRUE(client
                  .Call("set_property", Fields({{"session", 0},
                                                {"name", "FakeIADEnabled"},
                                                {"type", "bool"},
                                                {"value", true}}))["taken"]
                  .asBool());
  EXPECT_FALSE(client
                   .Call("set_property", Fields({{"session", 0},
                                                 {"name", "FakeIAD"},
                                                 {"type", "float"},
                                                 {"value", "wide"}}))["taken"]
                   .asBool());
  client.Call("set_property",
              Fields({{"session", 0}, {"name", "FakeIAD"}, {"type", "float"}, {"value", 0.08}}));
  const Json::Value read = client.Call(
      "get_property", Fields({{"session", session}, {"name", "FakeIAD"}, {"type", "float"}}));
  EXPECT_TRUE(read["found"].asBool());
  EXPECT_FLOAT_EQ(read["value"].asFloat(), 0.08f);
  const Json::Value desc = client.Call("render_desc", Fields({{"session", session}, {"eye", 1}}));
  ASSERT_EQ(desc["pose"].size(), 7u);
  EXPECT_FLOAT_EQ(desc["pose"][4].asFloat(), 0.04f);
  EXPECT_EQ(
      client
          .Call("set_property",
                Fields({{"session", 99}, {"name", "x"}, {"type", "int"}, {"value", 1}}))["result"]
          .asInt(),
      luxError_InvalidSession);
}

TEST(RuntimeService, SwapChainsAreCommittedOnlyByTheirSession) {
  ServiceProcess service(Prefix("service_swap_chains"), true);
  ASSERT_TRUE(service.Started());
  RawClient client;
  const Json::Value first = client.Call("create_session")["session"];
  const Json::Value second = client.Call("create_session")["session"];
  const Json::Value chain =
      client.Call("create_swap_chain", Fields({{"session", first}}))["swap_chain"];
  EXPECT_EQ(
      client
          .Call("commit_swap_chain", Fields({{"session", first}, {"swap_chain", chain}}))["result"]
          .asInt(),
      0);
  EXPECT_EQ(
      client
          .Call("commit_swap_chain", Fields({{"session", second}, {"swap_chain", chain}}))["result"]
          .asInt(),
      luxError_TextureSwapChainInvalid);
  EXPECT_EQ(
      client
          .Call("destroy_swap_chain", Fields({{"session", first}, {"swap_chain", chain}}))["result"]
          .asInt(),
      0);
}

TEST(RuntimeService, UsageMetricsAreRecordedOnePerLine) {
  const std::string prefix = Prefix("service_metrics");
  ServiceProcess service(prefix, true);
  ASSERT_TRUE(service.Started());
  RawClient client;
  Json::Value fields;
  fields["user_action"] = "x";
  EXPECT_EQ(client
                .Call("report_metrics",
                      Fields({{"category", "corvia_dev_tools"}, {"fields", fields}}))["result"]
                .asInt(),
            0);
  fields["user_action"] = "y \"quoted\"";
  client.Call("client_info", Fields({{"major", 1}, {"minor", 43}, {"patch", 2}}));
  client.Call("report_metrics", Fields({{"category", "corvia_dev_tools"}, {"fields", fields}}));
  EXPECT_EQ(client.Call("report_metrics", Fields({{"category", 3}}))["result"].asInt(),
            luxError_InvalidParameter);
  const std::string content = testsupport::ReadFile(prefix + "/var/corvia/telemetry.jsonl");
  const std::string pid = std::to_string(getpid());
  EXPECT_EQ(content, "{\"category\":\"corvia_dev_tools\",\"client_pid\":" + pid +
                         ",\"fields\":{\"user_action\":\"x\"}}\n"
                         "{\"category\":\"corvia_dev_tools\",\"client_pid\":" +
                         pid +
                         ",\"client_sdk\":\"1.43.2\",\"fields\":{\"user_action\":\"y "
                         "\\\"quoted\\\"\"}}\n");
}

TEST(RuntimeService, UnknownRequestsAreAnsweredAndMalformedStreamsClosed) {
  ServiceProcess service(Prefix("service_malformed"), true);
  ASSERT_TRUE(service.Started());
  RawClient client;
  const Json::Value answer = client.Call("teleport");
  EXPECT_EQ(answer["result"].asInt(), luxError_Unsupported);
  EXPECT_EQ(answer["error"].asString(), "The runtime service does not know the request teleport");
  client.SendRaw(std::string("\x03\0\0\0abc", 7));
  EXPECT_TRUE(client.ClosedByPeer());
  // The service goes on serving others.
  RawClient next;
  EXPECT_EQ(next.Call("hello")["result"].asInt(), 0);
}

TEST(RuntimeService, StopsCleanlyOnSigtermAndReleasesItsNames) {
  const std::string prefix = Prefix("service_stop");
  ServiceProcess service(prefix, true);
  ASSERT_TRUE(service.Started());
  RawClient client;
  client.Call("create_session");
  EXPECT_TRUE(platform::IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_TRUE(std::filesystem::exists(RuntimeServiceSocketPath()));
  EXPECT_EQ(service.Stop(), 0);
  EXPECT_FALSE(platform::IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_FALSE(std::filesystem::exists(RuntimeServiceSocketPath()));
  EXPECT_FALSE(std::filesystem::exists(prefix + "/run/corvia/CorviaHMDConnected"));
}

TEST(RuntimeService, ASecondServiceOnTheSameMachineRefusesToStart) {
  const std::string prefix = Prefix("service_twice");
  ServiceProcess first(prefix, true);
  ASSERT_TRUE(first.Started());
  RuntimeService second({});
  second.AddModule(std::make_unique<CoreRequests>());
  std::string error;
  EXPECT_FALSE(second.Start(&error));
  EXPECT_EQ(error, "another runtime service is running at " + RuntimeServiceSocketPath());
}

}  // namespace
}  // namespace luxsim
