// Round-trip latency of a remote call carrying a 200-byte string, beside a plain ping-pong of
// 200 bytes over a Unix-domain socket, both against a server in another process. Each
// benchmark times every round trip and reports the median and the 99th percentile besides the
// mean per iteration.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "ipc/client.h"
#include "ipc/server.h"
#include "platform/machine.h"
#include "platform/message_pipe.h"

namespace {

constexpr char kServerName[] = "BENCH_IPC";
constexpr char kPingPongPipe[] = "BenchPingPong";
constexpr size_t kPayloadBytes = 200;

// The server process: "toHub" takes a string and does nothing with it; the ping-pong pipe sends
// every message straight back.
class BenchServer : public IPC::ServerListener {
 public:
  void OnClientConnected(const std::shared_ptr<IPC::ServerConnection>& connection) override {
    connection->Register("toHub", *this, &BenchServer::ToHub);
  }
  void OnClientDisconnected(IPC::ServerConnection&) override {}
  void ToHub(std::string) {}
};

[[noreturn]] void RunServer(int readyFd) {
  BenchServer listener;
  IPC::Server server(listener);
  std::optional<platform::MessagePipeServer> pipeServer =
      platform::MessagePipeServer::Listen(kPingPongPipe);
  const char ready = server.Start(kServerName) && pipeServer ? 'y' : 'n';
  [[maybe_unused]] const ssize_t written = write(readyFd, &ready, 1);
  if (ready == 'y' && platform::WaitForSingle(*pipeServer, platform::kInfinite) == 0) {
    if (std::optional<platform::MessagePipe> pipe = pipeServer->Accept()) {
      platform::PipeMessage message;
      while (pipe->Receive(message, 4096, 0, platform::kInfinite) == platform::PipeStatus::kOk) {
        pipe->Send(message.bytes);
      }
    }
  }
  _exit(0);
}

class NoListener : public IPC::ClientListener {
 public:
  void OnDisconnected() override {}
};

// Times each iteration of `roundTrip` and reports the median and 99th percentile.
template <class RoundTrip>
void TimeRoundTrips(benchmark::State& state, RoundTrip roundTrip) {
  std::vector<double> micros;
  micros.reserve(static_cast<size_t>(state.max_iterations));
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (!roundTrip()) {
      state.SkipWithError("round trip failed");
      break;
    }
    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    micros.push_back(took.count());
  }
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

void IpcCallRoundTrip(benchmark::State& state) {
  NoListener listener;
  IPC::Client client(listener);
  if (client.Connect(kServerName) != 0) {
    state.SkipWithError("cannot connect");
    return;
  }
  IPC::RemoteFunction toHub("toHub");
  toHub.Setup(IPC::kCallKindCall);
  const std::string payload(kPayloadBytes, 'p');
  TimeRoundTrips(state, [&] { return client.Call(toHub, payload) == IPC::kCallSuccess; });
}

void UnixSocketPingPong(benchmark::State& state) {
  static std::optional<platform::MessagePipe> pipe =
      platform::ConnectMessagePipe(kPingPongPipe, 1000).pipe;
  if (!pipe) {
    state.SkipWithError("cannot connect");
    return;
  }
  const std::vector<uint8_t> payload(kPayloadBytes, 'p');
  platform::PipeMessage echo;
  TimeRoundTrips(state, [&] {
    return pipe->Send(payload) == platform::PipeStatus::kOk &&
           pipe->Receive(echo, 4096, 0, 1000) == platform::PipeStatus::kOk &&
           echo.bytes.size() == kPayloadBytes;
  });
}

BENCHMARK(IpcCallRoundTrip)->Iterations(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(UnixSocketPingPong)->Iterations(20000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  std::string prefix = "/tmp/corvia-bench-XXXXXX";
  if (mkdtemp(prefix.data()) == nullptr) return 1;
  setenv(platform::MachinePrefixVariable, prefix.c_str(), 1);
  int ready[2];
  if (pipe(ready) != 0) return 1;
  const pid_t server = fork();
  if (server == 0) {
    close(ready[0]);
    RunServer(ready[1]);
  }
  close(ready[1]);
  char started = 'n';
  const bool up = read(ready[0], &started, 1) == 1 && started == 'y';
  close(ready[0]);
  int status = 1;
  if (up) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    status = 0;
  }
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);
  std::filesystem::remove_all(prefix);
  return status;
}
