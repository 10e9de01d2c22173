// Windows-only tests of the platform backend: what the unit tests cannot reach in one process.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "breaker/breaker_box.h"
#include "hub/hub_remote_control.h"
#include "platform/code_signing.h"
#include "platform/console_control.h"
#include "platform/message_pipe.h"
#include "platform/process_info.h"
#include "platform/process_launch.h"
#include "platform/registry.h"
#include "runtime/signature_check.h"
#include "support/test_programs.h"

namespace {

// Whether `path` ends with `end` (in lower case), whatever the letter case of `path`.
bool EndsWith(std::string path, const std::string& end) {
  std::transform(path.begin(), path.end(), path.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return path.ends_with(end);
}

platform::ProcessInformation Start(const std::string& path, const std::string& arguments) {
  platform::ProcessInformation created;
  EXPECT_TRUE(
      platform::StartApplicationProcess({path, "\"" + path + "\" " + arguments, {}}, created));
  return created;
}

// The close message to a process's windows is the unit tests' (ApplicationControlTest quits the
// sleeping program with it); here its modules, its parent and its termination.
TEST(WindowsProcesses, AStartedProcessListsItsModulesAndEndsWithItsTerminationCode) {
  platform::ProcessInformation created = Start(CORVIA_SLEEPING_PROGRAM, "30");
  ASSERT_TRUE(created.process);
  platform::ProcessHandle& process = *created.process;
  EXPECT_EQ(platform::ParentProcessId(created.processId), platform::CurrentProcessId());
  testsupport::WaitUntilShown(created.processId);  // its modules are loaded by then
  const std::optional<std::vector<std::string>> modules = platform::ListProcessModules(process);
  ASSERT_TRUE(modules && !modules->empty());
  EXPECT_TRUE(EndsWith(modules->front(), "corvia_sleeping_program.exe")) << modules->front();
  EXPECT_EQ(std::count_if(modules->begin(), modules->end(),
                          [](const std::string& path) { return EndsWith(path, "\\ntdll.dll"); }),
            1);
  EXPECT_TRUE(process.Terminate(1));
  EXPECT_EQ(platform::WaitForSingle(process, 5000), 0u);
  uint32_t exitCode = 0;
  EXPECT_TRUE(process.GetExitCode(exitCode));
  EXPECT_EQ(exitCode, 1u);
}

// As the validator reads the runtime's folder: a key that ends in a backslash, a length limit.
TEST(WindowsRegistry, StringValuesAreReadWholeOrNotAtAll) {
  const char kKey[] = "Software\\Corvia\\Tests\\";
  const wchar_t text[] = L"C:\\Program Files\\Corvia\\";
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Corvia\\Tests", L"Base", REG_SZ, text,
                            sizeof text),
            ERROR_SUCCESS);
  EXPECT_EQ(platform::ReadMachineRegistryString(kKey, "Base", 24), "C:\\Program Files\\Corvia\\");
  for (const auto& [value, maxLength, error] : {std::tuple{"Base", 23, ERROR_MORE_DATA},
                                                std::tuple{"Missing", 260, ERROR_FILE_NOT_FOUND}}) {
    EXPECT_FALSE(platform::ReadMachineRegistryString(kKey, value, maxLength)) << value;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(error)) << value;
  }
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Corvia\\Tests");
}

struct SignatureCase {
  const char* file;
  bool signatureAccepted;  // by the trust provider
  bool runtimeAccepted;    // by the runtime loader's expectations
};

TEST(WindowsCodeSigning, AuthenticodeChainsAreJudgedByTheirStatusAndNames) {
  for (const SignatureCase& c : {
           SignatureCase{"signed.dll", true, true},
           SignatureCase{"other-signer.dll", true, false},
           SignatureCase{"untrusted-root.dll", false, false},
           SignatureCase{"tampered.dll", false, false},
           SignatureCase{"unsigned.dll", false, false},
       }) {
    SCOPED_TRACE(c.file);
    const std::string path = std::string(CORVIA_SIGNED_VARIANTS) + "/" + c.file;
    const platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(path);
    ASSERT_TRUE(file.IsOpen());
    const std::optional<platform::FileSignature> signature =
        platform::VerifyFileSignature(path, file);
    EXPECT_EQ(signature.has_value(), c.signatureAccepted);
    EXPECT_EQ(LuxLoader::VerifyRuntimeSignature(path, file), c.runtimeAccepted);
  }
}

TEST(WindowsIpc, TwoProcessesTalkOverTheNamedPipeAndTheSharedRings) {
  const std::string readyName = "CorviaTestShellReady" + std::to_string(GetCurrentProcessId());
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
  ASSERT_NE(ready, nullptr);
  platform::ProcessInformation peer = Start(CORVIA_SHELL_SERVICE_PEER, "30 " + readyName);
  ASSERT_TRUE(peer.process);
  ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
  CloseHandle(ready);
  {
    QasValidator::HubRemoteControl hub(QasValidator::HubTiming{5000, 50});
    uint32_t focused = 0;
    EXPECT_TRUE(hub.GetFocusedPid(focused));
    EXPECT_EQ(focused, peer.processId);
    EXPECT_TRUE(hub.SetProximitySensor(false));
  }
  // The peer ends once it has seen its client go.
  EXPECT_EQ(platform::WaitForSingle(*peer.process, 10000), 0u);
  uint32_t exitCode = 99;
  EXPECT_TRUE(peer.process->GetExitCode(exitCode));
  EXPECT_EQ(exitCode, 0u);
}

// A hello transaction that gets no answer is cancelled after its time-out; one whose server goes
// while it waits sees the broken pipe.
TEST(WindowsIpc, ATransactionTimesOutOrSeesTheServerGo) {
  const std::string name = "CorviaTestTransact" + std::to_string(GetCurrentProcessId());
  std::optional<platform::MessagePipeServer> server = platform::MessagePipeServer::Listen(name);
  ASSERT_TRUE(server);
  for (const bool hangUp : {false, true}) {
    platform::PipeConnection client = platform::ConnectMessagePipe(name, 1000);
    ASSERT_TRUE(client.pipe);
    ASSERT_EQ(platform::WaitForSingle(*server, 1000), 0u);
    std::optional<platform::MessagePipe> accepted = server->Accept();
    ASSERT_TRUE(accepted);
    std::thread closer([&] {
      if (!hangUp) return;
      Sleep(100);
      accepted.reset();
    });
    platform::PipeMessage answer;
    const uint8_t request[] = {1};
    EXPECT_EQ(client.pipe->Transact(request, nullptr, answer, 512, 0, hangUp ? 5000 : 200),
              hangUp ? platform::PipeStatus::kBroken : platform::PipeStatus::kTimeout);
    closer.join();
  }
}

// The simulated runtime service's breaker box on a pseudo-terminal that the run maps to COM5
// (tests/windows/with-breaker-box).
TEST(WindowsSerialPort, TheBreakerBoxAnswersOnAComPort) {
  std::unique_ptr<platform::SerialPort> port = platform::OpenSerialPort("COM5");
  ASSERT_TRUE(port);
  ASSERT_TRUE(QasValidator::ConfigureBreakerPort(*port));
  std::string reply;
  ASSERT_TRUE(QasValidator::SendBreakerCommand(*port, "FWVER?", reply));
  EXPECT_EQ(reply, "Version 1.0");
  QasValidator::BreakerBox box(std::move(port));
  EXPECT_TRUE(box.SwitchHdmi(false));
  EXPECT_TRUE(box.SwitchHdmi(true));
}

TEST(WindowsConsoleControl, TheHandlerSeesCtrlCOnAThreadOfItsOwn) {
  static std::atomic<DWORD> handlerThread{0};
  static std::atomic<uint32_t> handledEvent{99};
  platform::StartConsoleControl();
  platform::SetConsoleControlHandler([](uint32_t event) {
    handlerThread = GetCurrentThreadId();
    handledEvent = event;
    return true;  // handled: the process goes on
  });
  // A console of its own: the events go to the processes attached to a console.
  FreeConsole();
  ASSERT_TRUE(AllocConsole()) << GetLastError();
  ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
  for (int attempt = 0; attempt < 100 && handledEvent == 99; ++attempt) Sleep(50);
  EXPECT_EQ(handledEvent, platform::kCtrlCEvent);
  EXPECT_NE(handlerThread, GetCurrentThreadId());
  platform::SetConsoleControlHandler(nullptr);
}

}  // namespace
