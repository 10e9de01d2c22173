#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "protocol/framing.h"
#include "protocol/service_address.h"
#include "protocol/simulated_headset.h"
#include "protocol/unique_fd.h"
#include "protocol/unix_socket_address.h"
#include "support/child_process.h"
#include "support/machine_prefix.h"
#include "support/service_process.h"

// The simulated runtime service over a plain socket: the requests the client library never makes
// and the service's start and end, which no e2e run shows (every run is served and sees the
// headset's signal, or its absence with --no-headset).

namespace luxsim {
namespace {

using namespace std::chrono_literals;

Json::Value Fields(std::initializer_list<std::pair<const char*, Json::Value>> fields) {
  Json::Value object(Json::objectValue);
  for (const auto& [key, value] : fields) object[key] = value;
  return object;
}

// A client that speaks the protocol over a plain socket.
class RawClient {
 public:
  RawClient() : socket_(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address;
    EXPECT_TRUE(MakeUnixSocketAddress(RuntimeServiceSocketPath(), &address));
    connect(socket_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  void SendRaw(const std::string& bytes) {
    ASSERT_EQ(send(socket_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  // The answer to `op` with `fields`; null when the connection ended.
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
  int Result(const std::string& op, Json::Value fields = Json::objectValue) {
    return Call(op, std::move(fields))["result"].asInt();
  }
  bool ClosedByPeer() {
    char byte;
    return recv(socket_.Get(), &byte, 1, 0) == 0;
  }

 private:
  UniqueFd socket_;
  FrameDecoder decoder_;
  int lastId_ = 0;
};

TEST(RuntimeService, ServesClientsAndReleasesItsNamesOnSigterm) {
  testsupport::ScopedMachinePrefix prefix;
  std::optional<testsupport::ServiceProcess> service(std::in_place,
                                                     std::vector<std::string>{"--no-event-stream"});
  ASSERT_TRUE(service->Ready());
  RawClient client;
  const Json::Value session = client.Call("create_session")["session"];
  const Json::Value teleport = client.Call("teleport");
  EXPECT_EQ(teleport["result"].asInt(), luxError_Unsupported);
  EXPECT_EQ(teleport["error"].asString(), "The runtime service does not know the request teleport");
  EXPECT_FALSE(client
                   .Call("set_property", Fields({{"session", 0},
                                                 {"name", "FakeIAD"},
                                                 {"type", "float"},
                                                 {"value", "wide"}}))["taken"]
                   .asBool());
  EXPECT_EQ(client.Result("set_property",
                          Fields({{"session", 99}, {"name", "x"}, {"type", "int"}, {"value", 1}})),
            luxError_InvalidSession);
  // A swap chain is committed only by its own session.
  const Json::Value second = client.Call("create_session")["session"];
  const Json::Value chain =
      client.Call("create_swap_chain", Fields({{"session", session}}))["swap_chain"];
  EXPECT_EQ(
      client.Result("commit_swap_chain", Fields({{"session", second}, {"swap_chain", chain}})),
      luxError_TextureSwapChainInvalid);
  // Recorded usage metrics: ValidatorE2E.ARunReportsEveryStep...
  EXPECT_EQ(client.Result("report_metrics", Fields({{"category", 3}})), luxError_InvalidParameter);
  // A malformed stream is closed; the service goes on serving others.
  client.SendRaw(std::string("\x03\0\0\0abc", 7));
  EXPECT_TRUE(client.ClosedByPeer());
  EXPECT_EQ(RawClient().Result("hello"), 0);

  // A second service on the same machine refuses to start.
  const std::string binary = CORVIA_RUNTIME_SERVICE;
  const testsupport::ChildOutcome twice = testsupport::RunInChild([&] {
    execl(binary.c_str(), binary.c_str(), "--no-event-stream", nullptr);
    return 127;
  });
  EXPECT_EQ(twice.exitStatus, 1);
  EXPECT_EQ(twice.err, "corvia-runtime-service: another runtime service is running at " +
                           RuntimeServiceSocketPath() + "\n");

  EXPECT_EQ(service->Stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(RuntimeServiceSocketPath()));
  EXPECT_FALSE(std::filesystem::exists(prefix.Path() + "/run/corvia/CorviaHMDConnected"));

  service.emplace(std::vector<std::string>{"--no-event-stream", "--no-headset"});
  ASSERT_TRUE(service->Ready());
  const Json::Value refused = RawClient().Call("create_session");
  EXPECT_EQ(refused["result"].asInt(), luxError_NoHmd);
  EXPECT_EQ(refused["error"].asString(), "No headset is connected");
}

}  // namespace
}  // namespace luxsim
