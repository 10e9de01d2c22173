#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "engine_identity.h"
#include "platform/named_event.h"
#include "property_store.h"
#include "protocol/framing.h"
#include "protocol/service_address.h"
#include "protocol/simulated_headset.h"
#include "protocol/unique_fd.h"
#include "request_router.h"
#include "support/child_process.h"
#include "support/machine_prefix.h"
#include "support/read_file.h"
#include "support/service_process.h"

// The simulated runtime service: its process served over a plain socket, and the parts of its
// core whose faults no e2e run shows.

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
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = RuntimeServiceSocketPath();
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
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
  EXPECT_EQ(client.Result("hello", Fields({{"minor_version", 43}})), 0);
  const Json::Value created = client.Call("create_session");
  EXPECT_EQ(created["luid"].asUInt64(), kHeadsetAdapterLuid);
  const Json::Value session = created["session"];
  EXPECT_EQ(client.Call("session_status", Fields({{"session", session}}))["status"].size(), 7u);
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
  // Usage metrics are recorded one per line, with the client's build once it reported one.
  client.Call("client_info", Fields({{"major", 1}, {"minor", 43}, {"patch", 2}}));
  EXPECT_EQ(client.Result("report_metrics",
                          Fields({{"category", "corvia_dev_tools"},
                                  {"fields", Fields({{"user_action", "y \"quoted\""}})}})),
            0);
  EXPECT_EQ(client.Result("report_metrics", Fields({{"category", 3}})), luxError_InvalidParameter);
  EXPECT_EQ(testsupport::ReadFile(prefix.Path() + "/var/corvia/telemetry.jsonl"),
            "{\"category\":\"corvia_dev_tools\",\"client_pid\":" + std::to_string(getpid()) +
                ",\"client_sdk\":\"1.43.2\",\"fields\":{\"user_action\":\"y \\\"quoted\\\"\"}}\n");
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

  EXPECT_TRUE(platform::IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_EQ(service->Stop(), 0);
  EXPECT_FALSE(platform::IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_FALSE(std::filesystem::exists(RuntimeServiceSocketPath()));
  EXPECT_FALSE(std::filesystem::exists(prefix.Path() + "/run/corvia/CorviaHMDConnected"));

  service.emplace(std::vector<std::string>{"--no-event-stream", "--no-headset"});
  ASSERT_TRUE(service->Ready());
  EXPECT_FALSE(platform::IsNamedEventSignalled("CorviaHMDConnected"));
  const Json::Value refused = RawClient().Call("create_session");
  EXPECT_EQ(refused["result"].asInt(), luxError_NoHmd);
  EXPECT_EQ(refused["error"].asString(), "No headset is connected");
}

TEST(Framing, MessagesAreReassembledUntilAFrameThatIsTooLongOrNotAnObject) {
  const std::string stream = EncodeFrame(Fields({{"op", "a"}})) + EncodeFrame(Fields({{"id", 2}}));
  EXPECT_EQ(stream.substr(0, 14), std::string("\x0a\0\0\0{\"op\":\"a\"}", 14));
  FrameDecoder decoder;
  std::vector<std::string> messages;
  for (const char byte : stream) {
    decoder.Append(&byte, 1);
    while (std::optional<Json::Value> message = decoder.Next()) {
      messages.push_back(message->toStyledString());
    }
  }
  EXPECT_EQ(messages.size(), 2u);
  for (const std::string& bad :
       {std::string("\x01\x00\x10\x00", 4),  // 1 MiB + 1
        std::string("\x05\0\0\0[1,2]", 9), std::string("\x03\0\0\0abc", 7)}) {
    FrameDecoder failing;
    failing.Append(bad.data(), bad.size());
    failing.Append(stream.data(), stream.size());
    EXPECT_FALSE(failing.Next()) << bad;
    EXPECT_TRUE(failing.Failed()) << bad;
  }
}

TEST(EngineIdentity, KeysEndAtAColonOrABlankValuesAreTrimmedAndALaterLineWins) {
  EXPECT_EQ(ParseEngineIdentity("EngineName Unreal Engine\r\n  EngineVersion :4.27 \n"
                                "EnginePluginName: A\nenginename: b\nEnginePluginVersion:\t1.2\n"
                                "SDKVersion: 1.43\n\nEnginePluginName: C"),
            (EngineIdentity{"Unreal Engine", "4.27", "C", "1.2"}));
  EXPECT_EQ(ParseEngineIdentity(""), std::nullopt);
  EXPECT_EQ(ParseEngineIdentity("SDKVersion: 1.43\nEngineNames: x\nEngine: y"), std::nullopt);
}

TEST(PropertyStore, ValuesMustFitTheirTypeAndTheRuntimesSettingsAreItsOwnValuesOfTheirType) {
  PropertyStore store;
  EXPECT_FALSE(store.Set(0, "B", "bool", 1));
  EXPECT_FALSE(store.Set(0, "I", "int", 4.5));
  EXPECT_TRUE(store.Set(0, "F", "float", 1));
  EXPECT_FALSE(store.Set(0, "C", "colour", "red"));
  EXPECT_FALSE(store.Set(0, "", "string", "x"));
  store.Set(0, "I", "float", 3.0);
  store.Set(3, "I", "int", 1);
  EXPECT_EQ(store.RuntimeInt("I", -1), -1);
  store.Set(0, "I", "int", 42);
  EXPECT_EQ(store.RuntimeInt("I", -1), 42);
}

TEST(RequestRouter, FailureObserversSeeEveryFailedAnswerEvenOneSentLater) {
  RequestRouter router;
  router.Handle("fail", [](const RequestContext&, const Json::Value& request, const Reply& reply) {
    reply(Answer(request["code"].asInt(), "bad"));
  });
  Reply later;
  router.Handle("later", [&](const RequestContext&, const Json::Value&, Reply reply) {
    later = std::move(reply);
  });
  std::vector<std::string> failures;
  router.AddFailureObserver([&](const RequestContext& context, luxResult result,
                                const std::string& error) {
    failures.push_back(std::to_string(context.pid) + " " + std::to_string(result) + " " + error);
  });
  Json::Value answer;
  const auto send = [&](const char* op, int code = 0) {
    router.Dispatch({.client = 1, .pid = 7}, Fields({{"op", op}, {"code", code}}),
                    [&](Json::Value sent) { answer = std::move(sent); });
  };
  send("fail", -6000);
  send("fail", 1000);  // a success with a note
  send("fly");
  EXPECT_EQ(answer["error"].asString(), "The runtime service does not know the request fly");
  send("later");
  EXPECT_EQ(failures.size(), 2u);
  later(Answer(luxError_Timeout));
  EXPECT_EQ(answer["result"].asInt(), luxError_Timeout);
  EXPECT_EQ(
      failures,
      (std::vector<std::string>{
          "7 -6000 bad", "7 -1009 The runtime service does not know the request fly", "7 -1003 "}));
}

}  // namespace
}  // namespace luxsim
