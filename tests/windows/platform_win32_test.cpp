// Windows-only tests of the platform backend: what the unit tests cannot reach in one process.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "breaker/breaker_box.h"
#include "hub/hub_remote_control.h"
#include "platform/code_signing.h"
#include "platform/console_control.h"
#include "platform/message_pipe.h"
#include "platform/process_info.h"
#include "platform/process_launch.h"
#include "platform/registry.h"
#include "runtime/signature_check.h"

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() &&
         CompareStringOrdinal(
             std::wstring(end.begin(), end.end()).c_str(), -1,
             std::wstring(text.end() - static_cast<std::ptrdiff_t>(end.size()), text.end()).c_str(),
             -1, TRUE) == CSTR_EQUAL;
}

platform::ProcessInformation Start(const std::string& path, const std::string& arguments) {
  platform::ProcessInformation created;
  EXPECT_TRUE(
      platform::StartApplicationProcess({path, "\"" + path + "\" " + arguments, {}}, created));
  return created;
}

struct ProcessCase {
  const char* arguments;
  bool closes;  // the window-close message ends it
  uint32_t exitCode;
};

TEST(WindowsProcesses, StartedFoundByTheirWindowClosedOrTerminated) {
  for (const ProcessCase& c :
       {ProcessCase{"30", true, 0}, ProcessCase{"30 --ignore-close", false, 1}}) {
    SCOPED_TRACE(c.arguments);
    platform::ProcessInformation created = Start(CORVIA_SLEEPING_PROGRAM, c.arguments);
    ASSERT_TRUE(created.process);
    platform::ProcessHandle& process = *created.process;
    EXPECT_EQ(platform::ParentProcessId(created.processId), platform::CurrentProcessId());
    bool ended = false;
    for (int attempt = 0; attempt < 30 && !ended; ++attempt) {
      platform::PostCloseToProcessWindows(created.processId);
      ended = platform::WaitForSingle(process, 100) == 0;
    }
    EXPECT_EQ(ended, c.closes);
    if (!ended) {
      const std::optional<std::vector<std::string>> modules = platform::ListProcessModules(process);
      ASSERT_TRUE(modules);
      ASSERT_FALSE(modules->empty());
      EXPECT_TRUE(EndsWith(modules->front(), "corvia_sleeping_program.exe")) << modules->front();
      EXPECT_EQ(
          std::count_if(modules->begin(), modules->end(),
                        [](const std::string& path) { return EndsWith(path, "\\ntdll.dll"); }),
          1);
      EXPECT_TRUE(process.Terminate(1));
      EXPECT_EQ(platform::WaitForSingle(process, 5000), 0u);
    }
    uint32_t exitCode = 0;
    EXPECT_TRUE(process.GetExitCode(exitCode));
    EXPECT_EQ(exitCode, c.exitCode);
  }
}

struct RegistryCase {
  const char* key;
  const char* value;
  size_t maxLength;
  std::optional<std::string> read;
  DWORD error;
};

TEST(WindowsRegistry, StringValuesOnlyAndNeverCut) {
  const wchar_t text[] = L"C:\\Program Files\\Corvia\\";
  const DWORD number = 7;
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Corvia\\Tests", L"Base", REG_SZ, text,
                            sizeof text),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Corvia\\Tests", L"Number", REG_DWORD,
                            &number, sizeof number),
            ERROR_SUCCESS);
  for (const RegistryCase& c : {
           RegistryCase{"Software\\Corvia\\Tests\\", "Base", 260, "C:\\Program Files\\Corvia\\", 0},
           RegistryCase{"Software\\Corvia\\Tests", "Base", 24, "C:\\Program Files\\Corvia\\", 0},
           RegistryCase{"Software\\Corvia\\Tests", "Base", 23, std::nullopt, ERROR_MORE_DATA},
           RegistryCase{"Software\\Corvia\\Tests", "Missing", 260, std::nullopt,
                        ERROR_FILE_NOT_FOUND},
           RegistryCase{"Software\\Corvia\\Tests", "Number", 260, std::nullopt,
                        ERROR_UNSUPPORTED_TYPE},
       }) {
    SCOPED_TRACE(std::string(c.value) + " " + std::to_string(c.maxLength));
    const std::optional<std::string> read =
        platform::ReadMachineRegistryString(c.key, c.value, c.maxLength);
    const DWORD error = GetLastError();
    EXPECT_EQ(read, c.read);
    if (!c.read) {
      EXPECT_EQ(error, c.error);
    }
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
    if (c.runtimeAccepted) {
      ASSERT_TRUE(signature);
      EXPECT_EQ(signature->signerCount, 1u);
      ASSERT_EQ(signature->signerChain.size(), 3u);
      EXPECT_EQ(signature->signerChain[0].subjectCommonName, "Corvia VR, LLC");
      EXPECT_EQ(signature->signerChain[2].issuerCommonName, "DigiCert Assured ID Root CA");
      EXPECT_TRUE(signature->signerChain[2].selfSigned && signature->signerChain[2].trustedRoot);
    }
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
