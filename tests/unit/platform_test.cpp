#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/clock.h"
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
#include "support/child_process.h"
#include "support/machine_prefix.h"

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
  EXPECT_EQ(other->Memory()[8191], 0x5A);
  EXPECT_FALSE(SharedSection::Open(duplicate(), 4096));
  OwnedHandle unsealed(memfd_create("unsealed", MFD_CLOEXEC));  // its size could still change
  ASSERT_EQ(ftruncate(static_cast<int>(unsealed.Get()), 4096), 0);
  EXPECT_FALSE(SharedSection::Open(std::move(unsealed), 4096));
  EXPECT_FALSE(SharedSection::Open(OwnedHandle(eventfd(0, EFD_CLOEXEC)), 4096));
}

TEST(NamedEvent, ItsOwnerSignalsItAndItVanishesWithTheOwner) {
  const testsupport::ScopedMachinePrefix prefix;
  const std::string file = prefix.Path() + "/run/corvia/CorviaHMDConnected";
  std::filesystem::create_directories(prefix.Path() + "/run/corvia");
  EXPECT_FALSE(IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_FALSE(std::filesystem::exists(file));  // asking creates nothing
  std::optional<OwnedNamedEvent> first = OwnedNamedEvent::Create("CorviaHMDConnected", false);
  ASSERT_TRUE(first);
  EXPECT_FALSE(IsNamedEventSignalled("CorviaHMDConnected"));
  ASSERT_TRUE(first->Set());
  EXPECT_TRUE(IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_FALSE(IsNamedEventSignalled("OtherEvent"));
  first->Reset();
  EXPECT_FALSE(IsNamedEventSignalled("CorviaHMDConnected"));
  ASSERT_TRUE(first->Set());
  first.reset();
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
TEST(ProcessLaunch, ArgumentsGoAsTheyAreAndTheCloseRequestSparesProcessZeroAndTheCaller) {
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
  });
}

TEST(ProcessHandle, IsStillActiveUntilItEndsEveryHandleReadsTheExitCodeNoZombieStays) {
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

TEST_F(MessagePipeTest, ANameIsServedByOneServerAtATimeAndFreedWhenItGoes) {
  EXPECT_EQ(ConnectMessagePipe("TestPipe", 1000).status, PipeStatus::kNotFound);
  std::optional<MessagePipeServer> first = MessagePipeServer::Listen("TestPipe");
  ASSERT_TRUE(first);
  EXPECT_FALSE(MessagePipeServer::Listen("TestPipe"));
  first.reset();
  EXPECT_FALSE(std::filesystem::exists(RuntimeRunFolder() + "TestPipe"));
  std::optional<MessagePipeServer> second = MessagePipeServer::Listen("TestPipe");
  ASSERT_TRUE(second);
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

}  // namespace
}  // namespace platform
