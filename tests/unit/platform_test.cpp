#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "platform/clock.h"
#include "platform/display_adapters.h"
#include "platform/event.h"
#include "platform/files.h"
#include "platform/machine.h"
#include "platform/message_pipe.h"
#include "platform/named_event.h"
#include "platform/posix/key_poller.h"
#include "platform/process_handle.h"
#include "platform/process_launch.h"
#include "platform/serial_port.h"
#include "platform/shared_section.h"
#include "platform/system_error.h"
#include "platform/tcp_client_socket.h"
#include "support/child_process.h"
#include "support/machine_prefix.h"
#include "support/wait_until.h"

// The operating-system services of the platform layer, in the Windows meaning they keep.

namespace platform {
namespace {

using testsupport::ExpectInChild;

TEST(Event, AutoResetReleasesOneWaitPerSignalManualStaysSignalledUntilResetAdoptsOnlyEvents) {
  Event automatic = *Event::Create(EventReset::kAuto);
  automatic.Set();
  automatic.Set();  // a second Set of a signalled event adds nothing
  EXPECT_TRUE(automatic.Wait(0));
  EXPECT_FALSE(automatic.Wait(0));
  EXPECT_TRUE(Event::Create(EventReset::kAuto, true)->Wait(0));
  Event manual = *Event::Create(EventReset::kManual);
  manual.Set();
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0));
  manual.Reset();
  EXPECT_FALSE(manual.Wait(0));
  // Only event handles are adopted.
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  OwnedHandle writeEnd(pipeEnds[1]);
  EXPECT_FALSE(Event::Adopt(OwnedHandle(pipeEnds[0]), EventReset::kAuto));
  EXPECT_FALSE(Event::Adopt(OwnedHandle(), EventReset::kAuto));
}

TEST(WaitForMultiple, ReturnsTheLowestSignalledIndexResetsOnlyThatOneAndTimesOut) {
  Event first = *Event::Create(EventReset::kAuto);
  Event second = *Event::Create(EventReset::kAuto);
  Event third = *Event::Create(EventReset::kManual);
  Waitable* const all[] = {&first, &second, &third};
  second.Set();
  third.Set();
  EXPECT_EQ(WaitForMultiple(all, 0), 1u);
  EXPECT_EQ(WaitForMultiple(all, 0), 2u);  // second was reset by the wait
  EXPECT_EQ(WaitForMultiple(all, 0), 2u);  // manual: still signalled
  first.Set();
  EXPECT_EQ(WaitForMultiple(all, 0), 0u);
  Waitable* const one[] = {&first};
  const uint64_t start = TickCountMs();
  EXPECT_EQ(WaitForMultiple(one, 50), kWaitTimeout);
  EXPECT_GE(TickCountMs() - start, 50u);
  EXPECT_EQ(WaitForMultiple({}, 0), kWaitFailed);
  EXPECT_EQ(WaitForMultiple(std::vector<Waitable*>(kMaximumWaitObjects + 1, &first), 0),
            kWaitFailed);
}

TEST(SharedSection, StartsZeroedIsSharedThroughItsHandleAndOpensOnlySealedOnesOfItsSize) {
  std::optional<SharedSection> section = SharedSection::Create(8192);
  ASSERT_TRUE(section);
  const std::span<uint8_t> memory = section->Memory();
  ASSERT_EQ(memory.size(), 8192u);
  EXPECT_TRUE(std::all_of(memory.begin(), memory.end(), [](uint8_t b) { return b == 0; }));
  const auto duplicate = [&] {
    return OwnedHandle(dup(static_cast<int>(section->Handle().Get())));
  };
  std::optional<SharedSection> other = SharedSection::Open(duplicate(), 8192);
  ASSERT_TRUE(other);
  memory[8191] = 0x5A;
  SharedSection moved = std::move(*other);
  EXPECT_EQ(moved.Memory()[8191], 0x5A);
  EXPECT_TRUE(other->Memory().empty());
  EXPECT_FALSE(SharedSection::Open(duplicate(), 4096));
  OwnedHandle unsealed(memfd_create("unsealed", MFD_CLOEXEC));  // its size could still change
  ASSERT_EQ(ftruncate(static_cast<int>(unsealed.Get()), 4096), 0);
  EXPECT_FALSE(SharedSection::Open(std::move(unsealed), 4096));
  EXPECT_FALSE(SharedSection::Open(OwnedHandle(eventfd(0, EFD_CLOEXEC)), 4096));
  EXPECT_FALSE(SharedSection::Create(0));
}

TEST(NamedEvent, OneOwnerSignalsItAndItVanishesWithTheOwner) {
  const testsupport::ScopedMachinePrefix prefix;
  const std::string file = prefix.Path() + "/run/corvia/CorviaHMDConnected";
  EXPECT_FALSE(OwnedNamedEvent::Create("CorviaHMDConnected", true));  // no run folder
  std::filesystem::create_directories(prefix.Path() + "/run/corvia");
  EXPECT_FALSE(IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_FALSE(std::filesystem::exists(file));  // asking creates nothing
  std::optional<OwnedNamedEvent> first = OwnedNamedEvent::Create("CorviaHMDConnected", false);
  ASSERT_TRUE(first);
  EXPECT_FALSE(IsNamedEventSignalled("CorviaHMDConnected"));
  ASSERT_TRUE(first->Set());
  EXPECT_TRUE(IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_FALSE(IsNamedEventSignalled("OtherEvent"));
  std::optional<OwnedNamedEvent> second = OwnedNamedEvent::Create("CorviaHMDConnected", false);
  ASSERT_TRUE(second);
  EXPECT_FALSE(second->Set());
  EXPECT_FALSE(OwnedNamedEvent::Create("CorviaHMDConnected", true));
  first->Reset();
  EXPECT_FALSE(IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_TRUE(second->Set());
  first.reset();
  second.reset();
  EXPECT_FALSE(IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_FALSE(std::filesystem::exists(file));
}

std::string MakeDirectory(const std::string& name) {
  const std::string path = testing::TempDir() + name;
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  return path;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

TEST(Files, AReadOnlyFileReadsItsWholeContentEachTime) {
  const std::string path = MakeDirectory("files_read") + "/data.bin";
  WriteFile(path, std::string("a\0b", 3) + std::string(70000, 'x'));
  ReadOnlyFile file = ReadOnlyFile::Open(path);
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.ReadContents()->size(), 70003u);
  EXPECT_EQ((*file.ReadContents())[1], 0);
  file.Close();
  EXPECT_FALSE(file.ReadContents());
  EXPECT_FALSE(ReadOnlyFile::Open(testing::TempDir() + "no/such/file").IsOpen());
  EXPECT_FALSE(ReadOnlyFile::Open(MakeDirectory("files_dir")).ReadContents());
}

TEST(Files, FullPathsMachinePathsAndTheLibrarySearchOrder) {
  const std::string prefix = MakeDirectory("search_prefix");
  const std::string current = MakeDirectory("search_current");
  const std::string extra = MakeDirectory("search_extra");
  for (const std::string& file :
       {prefix + "/usr/lib/libfound.so", prefix + "/lib/libfound.so", prefix + "/lib/libonlylib.so",
        current + "/libcurrent.so", extra + "/libextra.so"}) {
    WriteFile(file, "x");
  }
  std::filesystem::create_directories(prefix + "/usr/lib/libdirectory.so");
  const testsupport::ChildOutcome run = ExpectInChild([&] {
    ASSERT_EQ(chdir("/usr"), 0);
    EXPECT_EQ(FullPathName("lib/../share/./x"), "/usr/share/x");
    EXPECT_EQ(FullPathName("/a//b/"), "/a/b/");
    EXPECT_EQ(FullPathName(""), "");
    unsetenv(MachinePrefixVariable);
    EXPECT_EQ(MachinePath("run/corvia/x"), "/run/corvia/x");
    setenv(MachinePrefixVariable, "/tmp/m/", 1);
    EXPECT_EQ(MachinePath("/dev/COM1"), "/tmp/m/dev/COM1");
    EXPECT_EQ(RuntimeRunFolder(), "/tmp/m/run/corvia/");
    setenv(MachinePrefixVariable, prefix.c_str(), 1);
    setenv("LD_LIBRARY_PATH", ("/nonexistent::" + extra).c_str(), 1);
    ASSERT_EQ(chdir(current.c_str()), 0);
    for (const std::string& directory : LibrarySearchDirectories()) std::cout << directory << "\n";
    for (const char* name : {"libfound.so", "libonlylib.so", "libcurrent.so", "libextra.so",
                             "libdirectory.so", "libmissing.so"}) {
      std::cout << SearchPath(name).value_or("none") << "\n";
    }
  });
  const std::string expected = current + "/\n" + prefix + "/usr/local/lib/\n" + prefix +
                               "/usr/lib/\n" + prefix + "/lib/\n/nonexistent/\n" + extra + "/\n" +
                               prefix + "/usr/lib/libfound.so\n" + prefix + "/lib/libonlylib.so\n" +
                               current + "/libcurrent.so\n" + extra + "/libextra.so\nnone\nnone\n";
  // The directory of the running executable comes first.
  ASSERT_GE(run.out.size(), expected.size());
  EXPECT_EQ(run.out.substr(run.out.size() - expected.size()), expected) << run.out;
}

TEST(KeyPoller, AKeyPressedBeforeTheQueryCountsOnceAndKeysAreRememberedApart) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  KeyPoller poller(fds[0]);
  const auto type = [&](const std::string& keys) {
    ASSERT_EQ(write(fds[1], keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  };
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEnter));
  ASSERT_NE(poller.Input(), nullptr);  // wakes a wait while keys can arrive
  EXPECT_EQ(WaitForSingle(*poller.Input(), 0), kWaitTimeout);
  type("\n");
  EXPECT_EQ(WaitForSingle(*poller.Input(), 0), 0u);
  EXPECT_TRUE(poller.IsKeyPressed(kKeyEnter));
  EXPECT_EQ(WaitForSingle(*poller.Input(), 0), kWaitTimeout);
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEnter));
  // Querying Escape reads the Enter press too; it stays pending until Enter is queried.
  // Cursor key sequences are no Escape.
  type("abc\x1b[A\x1bOP\r");
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEscape));
  EXPECT_TRUE(poller.IsKeyPressed(kKeyEnter));
  type("\x1b");
  EXPECT_TRUE(poller.IsKeyPressed(kKeyEscape));
  type("\r");
  close(fds[1]);  // closed input never reports a key
  EXPECT_FALSE(poller.IsKeyPressed(kKeyEscape));
  EXPECT_EQ(poller.Input(), nullptr);  // an ended input would wake every wait at once
  close(fds[0]);
}

TEST(TcpClientSocket, ReceiveBufferCanBeRaised) {
  TcpClientSocket socket;
  EXPECT_EQ(socket.ReceiveBufferSize(), 0);  // no socket yet: the read fails
  ASSERT_TRUE(socket.Create());
  EXPECT_TRUE(socket.SetReceiveBufferSize(65536));
  EXPECT_GE(socket.ReceiveBufferSize(), 65536);
}

// ---- Processes. Every case runs in a child process: starting an application makes the
// process a child subreaper for good. ----

// Starts `/bin/sh -c script`.
ProcessInformation StartShell(const std::string& script) {
  ProcessInformation created;
  EXPECT_TRUE(StartApplicationProcess({"/bin/sh", "", {"-c", script}}, created))
      << SystemErrorText(LastErrorCode());
  return created;
}

// Waits for the process to end and returns its exit code.
uint32_t ExitCodeAfterEnd(ProcessHandle& process) {
  EXPECT_EQ(WaitForSingle(process, 10000), 0u);
  uint32_t code = 0;
  EXPECT_TRUE(process.GetExitCode(code));
  return code;
}

// A crash's exit code: LaunchTestsE2E.AnApplicationThatCrashes...; a missing program:
// ApplicationControlTest.ALaunchThatFails...
TEST(ProcessLaunch, ArgumentsGoAsTheyAreTheExitCodeOrSignalComesBackSignalsAreReset) {
  ExpectInChild([] {
    // After the script, the shell's $0 and $1 are the next two arguments: nothing is split or
    // unquoted on the way.
    ProcessInformation created;
    ASSERT_TRUE(StartApplicationProcess(
        {"/bin/sh",
         "",
         {"-c", "[ \"$0\" = 'a b' ] && [ \"$1\" = '\"c\"' ] && exit 7", "a b", "\"c\""}},
        created));
    EXPECT_NE(created.processId, 0u);
    EXPECT_EQ(created.threadId, created.processId);
    EXPECT_EQ(ExitCodeAfterEnd(*created.process), 7u);
    // The close request is SIGTERM; it spares process 0 and the caller.
    ProcessInformation closed = StartShell("sleep 5");
    PostCloseToProcessWindows(closed.processId);
    EXPECT_EQ(ExitCodeAfterEnd(*closed.process), 128u + SIGTERM);
    setpgid(0, 0);  // a group of its own: a stray signal to "process 0" would end only this
    PostCloseToProcessWindows(0);
    PostCloseToProcessWindows(CurrentProcessId());
    // The blocked and ignored signals of the caller are reset.
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
    signal(SIGHUP, SIG_IGN);
    ProcessInformation terminated = StartShell("kill -TERM $$; exit 0");
    ProcessInformation hungUp = StartShell("kill -HUP $$; exit 0");
    EXPECT_EQ(ExitCodeAfterEnd(*terminated.process), 128u + SIGTERM);
    EXPECT_EQ(ExitCodeAfterEnd(*hungUp.process), 128u + SIGHUP);
  });
}

TEST(ProcessHandle, IsStillActiveUntilItEndsEveryHandleReadsTheExitCodeOrphansAreReaped) {
  ExpectInChild([] {
    ProcessInformation created = StartShell("sleep 5");
    std::optional<ProcessHandle> second = ProcessHandle::Open(created.processId);
    ASSERT_TRUE(second);
    uint32_t code = 0;
    EXPECT_TRUE(created.process->GetExitCode(code));
    EXPECT_EQ(code, kStillActive);
    EXPECT_FALSE(second->HasEnded());
    EXPECT_TRUE(created.process->Terminate(1));
    EXPECT_EQ(ExitCodeAfterEnd(*second), 1u);  // collects the process
    EXPECT_TRUE(created.process->HasEnded());
    EXPECT_TRUE(created.process->GetExitCode(code));
    EXPECT_EQ(code, 1u);
    EXPECT_FALSE(created.process->Terminate(1));  // ended and collected: nothing to end
    const auto pid = static_cast<pid_t>(created.processId);
    created.process.reset();
    second.reset();
    EXPECT_TRUE(kill(pid, 0) != 0 && errno == ESRCH);  // no zombie once the handles close
    EXPECT_FALSE(ProcessHandle::Open(created.processId));
    EXPECT_TRUE(ProcessHandle::Open(CurrentProcessId()));
    EXPECT_FALSE(ProcessHandle::Open(0));
    // A process left behind is reaped unless its own parent collects it.
    const std::string path = testing::TempDir() + "left_behind_pid";
    // Starts a launcher with an application that ends with 9 after 0.3 s, then `rest`.
    const auto started = [&](const std::string& rest) {
      std::remove(path.c_str());
      ProcessInformation launcher = StartShell("(sleep 0.3; exit 9) & echo $! > " + path + rest);
      uint32_t processId = 0;
      testsupport::WaitUntil([&] { return static_cast<bool>(std::ifstream(path) >> processId); });
      return std::pair{std::move(launcher), ProcessHandle::Open(processId)};
    };
    // The launcher waits for what it started: only it learns the exit code.
    auto [waiting, waited] = started("; wait; exit 4");
    ASSERT_TRUE(waited);
    EXPECT_EQ(ExitCodeAfterEnd(*waited), kExitCodeUnknown);
    EXPECT_EQ(ExitCodeAfterEnd(*waiting.process), 4u);
    // A launcher that ends first leaves its application to the validator.
    auto [exiting, left] = started("");
    ASSERT_TRUE(left);
    EXPECT_EQ(ExitCodeAfterEnd(*left), 9u);
  });
}

class MessagePipeTest : public testing::Test {
 protected:
  // Connects a client to `server` and accepts it.
  std::pair<MessagePipe, MessagePipe> Pair(MessagePipeServer& server) {
    PipeConnection client = ConnectMessagePipe("TestPipe", 1000);
    EXPECT_EQ(client.status, PipeStatus::kOk);
    EXPECT_EQ(WaitForSingle(server, 1000), 0u);
    std::optional<MessagePipe> accepted = server.Accept();
    EXPECT_TRUE(accepted);
    return {std::move(*client.pipe), std::move(*accepted)};
  }

  testsupport::ScopedMachinePrefix prefix_;
};

// Which handles go where, and one message per Send, are every end-to-end hello's.
TEST_F(MessagePipeTest, ReportsTimeOutsOversizedMessagesTooManyHandlesAndTheEnd) {
  std::optional<MessagePipeServer> server = MessagePipeServer::Listen("TestPipe");
  ASSERT_TRUE(server);
  auto [client, accepted] = Pair(*server);
  Event first = *Event::Create(EventReset::kAuto);
  const ProcessHandle self = *ProcessHandle::Open(CurrentProcessId());
  PipeMessage message;
  // Time-outs, empty and oversized messages, too many handles, the end of the pipe.
  EXPECT_EQ(accepted.Receive(message, 16, 0, 20), PipeStatus::kTimeout);

  ASSERT_EQ(client.Send({}), PipeStatus::kOk);
  EXPECT_EQ(accepted.Receive(message, 16, 0, 1000), PipeStatus::kOk);
  EXPECT_TRUE(message.bytes.empty());

  ASSERT_EQ(client.Send(std::vector<uint8_t>(17, 9)), PipeStatus::kOk);
  EXPECT_EQ(accepted.Receive(message, 16, 0, 1000), PipeStatus::kMoreData);
  ASSERT_EQ(client.Send(std::vector<uint8_t>(16, 9)), PipeStatus::kOk);
  EXPECT_EQ(accepted.Receive(message, 16, 0, 1000), PipeStatus::kOk);

  PeerHandles three(self);
  for (int i = 0; i < 3; ++i) three.Add(first.Handle());
  ASSERT_EQ(client.Send(std::vector<uint8_t>{1}, &three), PipeStatus::kOk);
  EXPECT_EQ(accepted.Receive(message, 16, 2, 1000), PipeStatus::kOk);
  EXPECT_TRUE(message.handlesTruncated);
  EXPECT_LE(message.handles.CarriedCount(), 2u);

  { MessagePipe gone = std::move(client); }
  EXPECT_EQ(accepted.Receive(message, 16, 0, 1000), PipeStatus::kBroken);
  EXPECT_EQ(accepted.Send(std::vector<uint8_t>{1}), PipeStatus::kBroken);
}

TEST_F(MessagePipeTest, ABusyServerIsWaitedForUpToTheBusyWait) {
  std::optional<MessagePipeServer> server = MessagePipeServer::Listen("TestPipe");
  ASSERT_TRUE(server);
  std::vector<MessagePipe> waiting;
  PipeStatus status = PipeStatus::kOk;
  while (status == PipeStatus::kOk && waiting.size() < 100) {
    PipeConnection connection = ConnectMessagePipe("TestPipe", 20);
    status = connection.status;
    if (connection.pipe) waiting.push_back(std::move(*connection.pipe));
  }
  EXPECT_EQ(status, PipeStatus::kBusy);
  EXPECT_FALSE(waiting.empty());

  std::thread acceptor([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(server->Accept());  // makes room for one more
  });
  const uint64_t start = TickCountMs();
  EXPECT_EQ(ConnectMessagePipe("TestPipe", 10000).status, PipeStatus::kOk);
  EXPECT_LT(TickCountMs() - start, 5000u);
  acceptor.join();
}

TEST_F(MessagePipeTest, ANameIsServedByOneLiveServerAtATimeAndALeftoverIsTakenOver) {
  EXPECT_EQ(ConnectMessagePipe("TestPipe", 1000).status, PipeStatus::kNotFound);
  EXPECT_EQ(ConnectMessagePipe(std::string(200, 'n'), 1000).status, PipeStatus::kNotFound);
  std::optional<MessagePipeServer> first = MessagePipeServer::Listen("TestPipe");
  ASSERT_TRUE(first);
  EXPECT_FALSE(MessagePipeServer::Listen("TestPipe"));
  first.reset();
  EXPECT_FALSE(std::filesystem::exists(RuntimeRunFolder() + "TestPipe"));
  EXPECT_TRUE(MessagePipeServer::Listen("TestPipe"));
  // A name left behind by a server that ended without removing it.
  const std::string path = RuntimeRunFolder() + "TestPipe";
  {
    OwnedHandle stale(socket(AF_UNIX, SOCK_SEQPACKET, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(
        bind(static_cast<int>(stale.Get()), reinterpret_cast<sockaddr*>(&address), sizeof address),
        0);
  }
  ASSERT_TRUE(std::filesystem::exists(path));
  std::optional<MessagePipeServer> server = MessagePipeServer::Listen("TestPipe");
  ASSERT_TRUE(server);
  EXPECT_EQ(ConnectMessagePipe("TestPipe", 1000).status, PipeStatus::kOk);
}

using namespace std::chrono_literals;

// A COM port is the terminal its name links to under the machine prefix, in raw mode: bytes
// pass unchanged both ways and nothing is echoed.
TEST(SerialPort, ATerminalUnderItsComNameCarriesBytesUnchanged) {
  const testsupport::ScopedMachinePrefix machine;
  const std::filesystem::path dev = std::filesystem::path(machine.Path()) / "dev";
  std::filesystem::create_directories(dev);
  int device = -1;
  int line = -1;
  char name[64];
  ASSERT_EQ(openpty(&device, &line, name, nullptr, nullptr), 0);
  close(line);
  std::filesystem::create_symlink(name, dev / "COM1");
  std::ofstream(dev / "COM2") << "not a terminal";
  EXPECT_EQ(OpenSerialPort("COM2"), nullptr);

  const std::unique_ptr<SerialPort> port = OpenSerialPort("COM1");
  ASSERT_NE(port, nullptr);
  // A pseudo-terminal keeps 8 data bits and no parity whatever it is told.
  ASSERT_TRUE(port->SetLineSettings({115200, 8, SerialParity::kNone, SerialStopBits::kTwo, true}));
  ASSERT_TRUE(port->SetReadIntervalTimeout(1000ms));
  SerialLineSettings current;
  ASSERT_TRUE(port->GetLineSettings(current));
  EXPECT_EQ(current.baudRate, 115200u);
  EXPECT_EQ(current.stopBits, SerialStopBits::kTwo);
  EXPECT_TRUE(current.outX && !current.inX);

  ASSERT_TRUE(port->Write("FWVER?\n", 1s));
  char written[16] = {};
  EXPECT_EQ(read(device, written, sizeof written), 7);
  EXPECT_STREQ(written, "FWVER?\n");  // no CR added
  ASSERT_EQ(write(device, "a\r\n", 3), 3);
  std::string received;
  uint8_t byte = 0;
  while (received.size() < 3 && port->ReadByte(byte, 1s) == SerialRead::kByte) {
    received.push_back(static_cast<char>(byte));
  }
  EXPECT_EQ(received, "a\r\n");  // no CR turned into LF
  EXPECT_EQ(port->ReadByte(byte, 10ms), SerialRead::kTimeout);
  fcntl(device, F_SETFL, O_NONBLOCK);
  EXPECT_EQ(read(device, written, sizeof written), -1);  // nothing echoed
  close(device);
}

namespace fs = std::filesystem;

// The adapters are the DRM cards under the machine prefix, by number, with the LUIDs of their
// devices; connectors and render nodes are no adapters.
TEST(DisplayAdapters, TheCardsInTheOrderOfTheirNumbersIdentifiedByTheirDevices) {
  const testsupport::ScopedMachinePrefix machine;
  const fs::path sys = fs::path(machine.Path()) / "sys";
  std::optional<DisplayAdapterFactory> factory;
  EXPECT_EQ(DisplayAdapterFactory::Create(factory), static_cast<int32_t>(0x80070002));  // ENOENT
  fs::create_directories(sys / "class/drm/card0-HDMI-A-1");
  fs::create_directories(sys / "class/drm/renderD128");
  const char* cards[] = {"card0", "card2", "card10"};
  for (int i = 0; i < 3; ++i) {
    const std::string device = "devices/0000:0" + std::to_string(i) + ":00.0";
    fs::create_directories(sys / device);
    fs::create_directories(sys / "class/drm" / cards[i]);
    fs::create_symlink("../../../" + device, sys / "class/drm" / cards[i] / "device");
  }
  AdapterLuid luids[3], none;
  ASSERT_EQ(DisplayAdapterFactory::Create(factory), 0);
  for (uint32_t i = 0; i < 3; ++i) ASSERT_EQ(factory->AdapterLuidAt(i, luids[i]), 0);
  EXPECT_EQ(factory->AdapterLuidAt(3, none), kDxgiErrorNotFound);
  EXPECT_FALSE(luids[0] == luids[1] || luids[1] == luids[2] || luids[0] == luids[2]);

  // card10 becomes card1: it keeps its device's LUID and now comes before card2.
  fs::rename(sys / "class/drm/card10", sys / "class/drm/card1");
  ASSERT_EQ(DisplayAdapterFactory::Create(factory), 0);
  AdapterLuid luid;
  ASSERT_EQ(factory->AdapterLuidAt(1, luid), 0);
  EXPECT_EQ(luid, luids[2]);
}

}  // namespace
}  // namespace platform
