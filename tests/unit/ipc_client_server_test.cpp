#include <gtest/gtest.h>
#include <linux/securebits.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "ipc/call_status.h"
#include "ipc/client.h"
#include "ipc/connect_result.h"
#include "ipc/hello.h"
#include "ipc/server.h"
#include "platform/message_pipe.h"
#include "platform/process_handle.h"
#include "support/machine_prefix.h"
#include "support/wait_until.h"

namespace IPC {
namespace {

using namespace std::chrono_literals;

constexpr char kServerName[] = "TEST_IPC";

RemoteFunction Function(const char* name) {
  RemoteFunction function(name);
  function.Setup(kCallKindCall);
  return function;
}

// The server's side: "toHub" records its argument and answers by calling the client's
// "toClient" with "echo:" and the argument before it returns.
class EchoServer : public ServerListener {
 public:
  void OnClientConnected(const std::shared_ptr<ServerConnection>& connection) override {
    connection->Register("toHub", *this, &EchoServer::ToHub);
    std::lock_guard lock(mutex_);
    connection_ = connection;
  }
  void OnClientDisconnected(ServerConnection&) override { ++disconnects_; }

  void ToHub(std::string text) {
    std::shared_ptr<ServerConnection> connection;
    {
      std::lock_guard lock(mutex_);
      received_.push_back(text);
      connection = connection_;
    }
    echoStatus_ = connection->Call(toClient_, "echo:" + text);
  }

  std::shared_ptr<ServerConnection> Connection() {
    std::lock_guard lock(mutex_);
    return connection_;
  }
  std::vector<std::string> Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }
  int Disconnects() const { return disconnects_; }
  uint8_t EchoStatus() const { return echoStatus_; }

 private:
  const RemoteFunction toClient_ = Function("toClient");
  std::mutex mutex_;  // guards connection_ and received_
  std::shared_ptr<ServerConnection> connection_;
  std::vector<std::string> received_;
  std::atomic<int> disconnects_{0};
  std::atomic<uint8_t> echoStatus_{255};
};

// The client's side: "toClient" records its argument.
class RecordingClient : public ClientListener {
 public:
  RecordingClient() { client.Register("toClient", *this, &RecordingClient::ToClient); }
  void OnDisconnected() override { ++disconnects_; }
  void ToClient(std::string text) {
    std::lock_guard lock(mutex_);
    received_.push_back(std::move(text));
  }
  std::vector<std::string> Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }
  int Disconnects() const { return disconnects_; }

 private:
  std::mutex mutex_;  // guards received_
  std::vector<std::string> received_;
  std::atomic<int> disconnects_{0};

 public:
  Client client{*this};  // last: it calls back into the members above until it is gone
};

class ClientServerTest : public testing::Test {
 protected:
  // A section block of resources whose handles do not go with it.
  SectionBlock BlockWithoutHandles() {
    resources_ = ConnectionResources::Create(3, kRingSize);
    platform::PeerHandles handles(self_);
    return *resources_->Describe(platform::CurrentProcessId(), handles);
  }

  const platform::ProcessHandle self_ =
      *platform::ProcessHandle::Open(platform::CurrentProcessId());
  std::optional<ConnectionResources> resources_;
  const RemoteFunction toHub_ = Function("toHub");
  testsupport::ScopedMachinePrefix prefix_;
  EchoServer echo_;
  Server server_{echo_};
  RecordingClient client_;
};

// A client that creates the section is every end-to-end run's; here the server creates it, as
// for a client that cannot open the server's process. A call's refusals are the dispatch's.
TEST_F(ClientServerTest, CallsTravelInBothDirectionsWhenTheServerCreatedTheSection) {
  ASSERT_TRUE(server_.Start(kServerName));
  std::string large(3 * kRingSize + 123, '\0');  // larger than a ring
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 31);
  ConnectOptions options;
  options.serverCreatesSection = true;
  ASSERT_EQ(client_.client.Connect(kServerName, options), kConnected);
  EXPECT_EQ(client_.client.PeerProcessId(), platform::CurrentProcessId());
  EXPECT_EQ(client_.client.Call(toHub_, large), kCallSuccess);
  EXPECT_EQ(echo_.Received().back(), large);
  EXPECT_EQ(echo_.EchoStatus(), kCallSuccess);
  // The server's call reached the client before the reply.
  EXPECT_EQ(client_.Received(), std::vector<std::string>{"echo:" + large});
}

TEST_F(ClientServerTest, CallsFromManyThreadsTakeTurns) {
  ASSERT_TRUE(server_.Start(kServerName));
  ASSERT_EQ(client_.client.Connect(kServerName), kConnected);
  std::vector<std::thread> callers;
  std::atomic<int> successes{0};
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        if (client_.client.Call(toHub_, std::to_string(t * 100 + i)) == kCallSuccess) ++successes;
      }
    });
  }
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(successes, 200);
  EXPECT_EQ(echo_.Received().size(), 200u);
  EXPECT_EQ(client_.Received().size(), 200u);
}

// A stopped service, the reconnect and the server hearing a client go: HubShellE2E's restart and
// late-response runs.
TEST_F(ClientServerTest, CallsFailWithoutAServerAndBothEndsHearTheServerCloseTheConnection) {
  EXPECT_EQ(client_.client.Call(toHub_, std::string("x")), kCallNotInitialized);
  EXPECT_EQ(client_.client.Connect(kServerName), kConnectPipeUnavailable);  // no server
  EXPECT_EQ(client_.client.Call(toHub_, std::string("x")), kCallDisconnected);
  EXPECT_EQ(client_.Disconnects(), 0);
  ASSERT_TRUE(server_.Start(kServerName));
  ASSERT_EQ(client_.client.Connect(kServerName), kConnected);
  ASSERT_TRUE(testsupport::WaitUntil([&] {
    const std::shared_ptr<ServerConnection> connection = echo_.Connection();
    return connection && connection->IsConnected();
  }));
  echo_.Connection()->Close();
  EXPECT_TRUE(testsupport::WaitUntil([&] { return client_.Disconnects() == 1; }));
  EXPECT_FALSE(client_.client.IsConnected());
  EXPECT_EQ(echo_.Disconnects(), 1);
  EXPECT_EQ(client_.client.Call(toHub_, std::string("x")), kCallDisconnected);
}

TEST_F(ClientServerTest, ClientsBeyondTheConnectionLimitAreRefusedUntilOneGoes) {
  Server server(echo_, ServerOptions{.maxConnections = 2});
  ASSERT_TRUE(server.Start(kServerName));
  std::optional<RecordingClient> first(std::in_place);
  RecordingClient second;
  ASSERT_EQ(first->client.Connect(kServerName), kConnected);
  ASSERT_EQ(second.client.Connect(kServerName), kConnected);
  EXPECT_EQ(client_.client.Connect(kServerName), kConnectRefused);
  first.reset();
  ASSERT_TRUE(testsupport::WaitUntil([&] { return echo_.Disconnects() == 1; }));
  EXPECT_EQ(client_.client.Connect(kServerName), kConnected);
}

TEST_F(ClientServerTest, AClientThatSaysNothingHoldsUpOthersOnlyForTheHelloTimeoutAndNotStop) {
  std::optional<Server> server(std::in_place, echo_, ServerOptions{.helloTimeoutMs = 100});
  ASSERT_TRUE(server->Start(kServerName));
  const auto silent = [] {
    return platform::ConnectMessagePipe(std::string("CorviaIPC") + kServerName, 1000);
  };
  platform::PipeConnection first = silent();
  ASSERT_EQ(first.status, platform::PipeStatus::kOk);
  EXPECT_EQ(client_.client.Connect(kServerName), kConnected);
  EXPECT_EQ(client_.client.Call(toHub_, std::string("after")), kCallSuccess);
  server.emplace(echo_);  // the default hello time-out, 10 s
  ASSERT_TRUE(server->Start(kServerName));
  platform::PipeConnection second = silent();
  ASSERT_EQ(second.status, platform::PipeStatus::kOk);
  std::this_thread::sleep_for(20ms);  // the server now waits for its hello
  const auto start = std::chrono::steady_clock::now();
  server.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

// Sends `hello` (serialized) on a raw pipe to the server and returns the status of its response
// (-1 without a valid response).
int64_t RawHello(const HelloMessage& hello) {
  platform::PipeConnection connection =
      platform::ConnectMessagePipe(std::string("CorviaIPC") + kServerName, 1000);
  if (!connection.pipe) return -1;
  std::array<uint8_t, kHelloBytes> storage{};
  IpcBuffer buffer = IpcBuffer::Fixed(storage);
  WriteHello(hello, buffer);
  platform::PipeMessage answer;
  if (connection.pipe->Transact(buffer.Bytes(), nullptr, answer, kHelloBytes, kMaxHelloHandles,
                                5000) != platform::PipeStatus::kOk) {
    return -1;
  }
  const auto response = ReadHello(answer.bytes, HelloKind::kResponse);
  return response ? *response->status : -1;
}

TEST_F(ClientServerTest, TheServerRefusesBadHellosAndKeepsServing) {
  ASSERT_TRUE(server_.Start(kServerName));
  const uint32_t self = platform::CurrentProcessId();
  // Each verdict is the hello tests'; the server sends it, judging the sender by its pipe.
  EXPECT_EQ(RawHello(MakeHello(self + 1, self, std::nullopt, std::nullopt)), kHelloRefusedPeer);

  // Which blocks adopt is the resources' test.
  EXPECT_EQ(RawHello(MakeHello(self, self, BlockWithoutHandles(), std::nullopt)),
            kHelloSetupFailed);

  ASSERT_EQ(client_.client.Connect(kServerName), kConnected);
  EXPECT_EQ(client_.client.Call(toHub_, std::string("ok")), kCallSuccess);
}

// A server that answers one hello with whatever `answer` does to its pipe. Unless `answer`
// hangs up (resets the pipe), the pipe stays open until the client has read the answer.
class RawServer {
 public:
  using Answerer = std::function<void(std::optional<platform::MessagePipe>&)>;
  explicit RawServer(Answerer answer)
      : pipeServer_(platform::MessagePipeServer::Listen(std::string("CorviaIPC") + kServerName)),
        thread_([this, answer = std::move(answer)] {
          if (!pipeServer_ || platform::WaitForSingle(*pipeServer_, 5000) != 0) return;
          std::optional<platform::MessagePipe> pipe = pipeServer_->Accept();
          platform::PipeMessage hello;
          if (!pipe || pipe->Receive(hello, kHelloBytes, kMaxHelloHandles, 5000) !=
                           platform::PipeStatus::kOk) {
            return;
          }
          answer(pipe);
          if (pipe) pipe->Receive(hello, kHelloBytes, 0, 5000);  // until the client hangs up
        }) {}
  ~RawServer() { thread_.join(); }

 private:
  std::optional<platform::MessagePipeServer> pipeServer_;
  std::thread thread_;
};

RawServer::Answerer Answer(const HelloMessage& response) {
  return [response](std::optional<platform::MessagePipe>& pipe) {
    std::array<uint8_t, kHelloBytes> storage{};
    IpcBuffer buffer = IpcBuffer::Fixed(storage);
    WriteHello(response, buffer);
    pipe->Send(buffer.Bytes());
  };
}

TEST_F(ClientServerTest, TheClientJudgesTheServersAnswer) {
  const uint32_t self = platform::CurrentProcessId();
  const auto connectTo = [&](RawServer::Answerer answer, ConnectOptions options = {}) {
    RawServer raw(std::move(answer));
    return client_.client.Connect(kServerName, options);
  };
  using Pipe = std::optional<platform::MessagePipe>;
  // How each answer's bytes, fields and status are judged: Hello.TheClientJudgesTheResponse and
  // Hello.AnyWrongByteOfTheMagicOrGreetingAndAnyOtherLengthFail.
  ConnectOptions impatient;
  impatient.helloTimeoutMs = 200;
  EXPECT_EQ(connectTo([](Pipe&) { std::this_thread::sleep_for(400ms); }, impatient),
            kConnectTransactionFailed);
  EXPECT_EQ(connectTo([](Pipe& pipe) { pipe.reset(); }), kConnectPipeUnavailable);
  // The server claims to have created the section but passes none of its handles.
  ConnectOptions serverCreates;
  serverCreates.serverCreatesSection = true;
  EXPECT_EQ(connectTo(Answer(MakeHello(self, self, BlockWithoutHandles(), kHelloAccepted)),
                      serverCreates),
            kConnectSetupFailed);
  EXPECT_FALSE(client_.client.IsConnected());
}

// The server of the two-process test, whose "die" ends its process in the middle of the call.
class ChildServer : public EchoServer {
 public:
  void OnClientConnected(const std::shared_ptr<ServerConnection>& connection) override {
    EchoServer::OnClientConnected(connection);
    connection->Register("die", *this, &ChildServer::Die);
  }
  void Die(std::string) { _exit(0); }
};

// A child process whose servers `serve` starts and keeps (nothing when they fail to start),
// ended when the test is. The child is forked before the test starts threads of its own.
class ServingChild {
 public:
  explicit ServingChild(const std::function<std::shared_ptr<void>()>& serve) {
    int ready[2];
    EXPECT_EQ(pipe(ready), 0);
    pid_ = fork();
    if (pid_ == 0) {
      const std::shared_ptr<void> servers = serve();
      [[maybe_unused]] const ssize_t written = write(ready[1], servers ? "y" : "n", 1);
      for (;;) pause();
    }
    close(ready[1]);
    started_ = read(ready[0], &started_, 1) == 1 && started_ == 'y';
    close(ready[0]);
  }
  ~ServingChild() {
    if (waitpid(pid_, nullptr, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Started() const { return started_; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  char started_ = 0;
};

// A server process that ends without closing the connection is heard gone through its process:
// every end-to-end run crosses processes, but no service there ends in the middle of a call.
TEST_F(ClientServerTest, AServerProcessThatEndsInTheMiddleOfACallIsHeardGone) {
  const ServingChild child([] {
    auto servers = std::make_shared<std::pair<ChildServer, std::optional<Server>>>();
    servers->second.emplace(servers->first);
    return servers->second->Start(kServerName) ? servers : nullptr;
  });
  ASSERT_TRUE(child.Started());
  ASSERT_EQ(client_.client.Connect(kServerName), kConnected);
  EXPECT_EQ(client_.client.Call(Function("die"), std::string("now")), kCallDisconnected);
  EXPECT_TRUE(testsupport::WaitUntil([&] { return client_.Disconnects() == 1; }));
  EXPECT_FALSE(client_.client.IsConnected());
  EXPECT_EQ(waitpid(child.Pid(), nullptr, 0), child.Pid());
}

TEST_F(ClientServerTest, AClientOfAnotherSessionIsRefusedUnlessAllowed) {
  if (geteuid() != 0) GTEST_SKIP() << "a client of another session needs another user: root";
  struct Servers {
    EchoServer checkingListener, allowingListener;
    Server checking{checkingListener};
    Server allowing{allowingListener, ServerOptions{.skipSessionCheck = true}};
  };
  const ServingChild child([] {
    auto servers = std::make_shared<Servers>();
    const bool started =
        servers->checking.Start(kServerName) && servers->allowing.Start("TEST_IPC_ANY_SESSION");
    return started ? servers : nullptr;
  });
  ASSERT_TRUE(child.Started());
  // The clients connect as another user that may still reach the servers' names.
  const int securebits = prctl(PR_GET_SECUREBITS);
  ASSERT_EQ(prctl(PR_SET_SECUREBITS, securebits | SECBIT_NO_SETUID_FIXUP), 0);
  ASSERT_EQ(seteuid(65534), 0);
  RecordingClient other;
  ConnectOptions anyServer;
  anyServer.skipSessionCheck = true;
  EXPECT_EQ(other.client.Connect(kServerName, anyServer), kConnectRefused);
  EXPECT_EQ(other.client.Connect("TEST_IPC_ANY_SESSION", anyServer), kConnected);
  // The client checks the server's session too.
  RecordingClient checkingClient;
  EXPECT_EQ(checkingClient.client.Connect("TEST_IPC_ANY_SESSION"), kConnectRefused);
  ASSERT_EQ(seteuid(0), 0);
  prctl(PR_SET_SECUREBITS, securebits);
}

}  // namespace
}  // namespace IPC
