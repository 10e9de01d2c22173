#include "runtime/runtime_library.h"

#include <gtest/gtest.h>

#include "lux/lux_capi.h"
#include "runtime/client_identifier.h"
#include "runtime/initialization.h"
#include "runtime/internal_functions.h"
#include "runtime/library_search.h"
#include "runtime/signature_check.h"
#include "support/child_process.h"
#include "support/machine_prefix.h"

// The runtime library's loader without a runtime: its table and error record, the adjusted
// initialisation parameters, the library search, the signer chain it accepts, the internal
// functions and the client identifier. The loads of real libraries, and the folders whose
// library cannot be opened or is refused, are tested end to end (LoaderE2E).

namespace LuxLoader {
namespace {

using testsupport::ExpectInChild;
using testsupport::UseEmptyMachine;

std::string LastError() {
  luxErrorInfo info{};
  lux_GetLastErrorInfo(&info);
  return std::to_string(info.Result) + " " + info.ErrorString;
}

TEST(RuntimeLibrary, UnboundTheTableAndTheInternalFunctionsAnswerAsAnAbsentRuntime) {
  for (size_t i = 0; i < kRuntimeFunctionNames.size(); ++i) {
    EXPECT_EQ(RuntimeFunctionAddress(i), nullptr) << kRuntimeFunctionNames[i];
  }
  const luxiMetricField field{"user_action", "x"};
  EXPECT_EQ(luxi_ReportGenericMetrics("corvia_dev_tools", &field, 1, 0), -3002);
  ExpectInChild([] {
    luxSession session = nullptr;
    luxGraphicsLuid luid{};
    void* function = nullptr;
    EXPECT_EQ(lux_Create(&session, &luid), -1004);
    EXPECT_EQ(lux_Lookup("luxi_X", &function), -1004);
    EXPECT_FALSE(lux_SetInt(nullptr, "FrequentTelEventPid", 1));  // the others: FakeIadSettings
    EXPECT_EQ(lux_GetTimeInSeconds(), 0.0);
    lux_Destroy(session);
    lux_Shutdown();
    lux_GetLastErrorInfo(nullptr);
    EXPECT_EQ(session, nullptr);
    EXPECT_EQ(function, nullptr);
    // Binding without a runtime stops at the first failure.
    EXPECT_EQ(BindInternalFunctions(), -1004);
    EXPECT_EQ(luxi_EnableRealtimeEventOutput(luxTrue), -3002);
    SetLoaderError(-7, std::string(600, 'x'));
    EXPECT_EQ(LastError(), "-7 " + std::string(511, 'x'));
  });
}

TEST(RuntimeLibrary, TheCallersMinorVersionCountsOnlyWithTheRequestBitAndBelow17IsRefused) {
  const struct {
    uint32_t flags, minor, timeout;
    uint32_t adjustedFlags, adjustedMinor;
  } cases[] = {
      {luxInit_Debug, 10, 250, 5, 43},
      {luxInit_RequestVersion, 20, 0, 4, 20},
      {0xFF000024u, 30, 0, 0x24, 30},  // only the low 24 flag bits are kept
      {0x81000000u, 30, 0, 4, 43},
  };
  for (const auto& c : cases) {
    luxInitParams params{};
    params.Flags = c.flags;
    params.RequestedMinorVersion = c.minor;
    params.ConnectionTimeoutMS = c.timeout;
    const luxInitParams adjusted = AdjustedInitParams(&params);
    EXPECT_EQ(adjusted.Flags, c.adjustedFlags) << c.flags;
    EXPECT_EQ(adjusted.RequestedMinorVersion, c.adjustedMinor) << c.flags;
    EXPECT_EQ(adjusted.ConnectionTimeoutMS, c.timeout) << c.flags;
  }
  const luxInitParams defaults = AdjustedInitParams(nullptr);
  EXPECT_EQ(defaults.Flags, 4u);
  EXPECT_EQ(defaults.RequestedMinorVersion, 43u);
  ExpectInChild([] {
    UseEmptyMachine();
    luxInitParams params{};
    params.Flags = luxInit_RequestVersion;
    params.RequestedMinorVersion = 16;
    EXPECT_EQ(lux_Initialize(&params), -3002);  // before any load
    EXPECT_EQ(LastError(), "-1004 lux_Initialize never called");
    params.RequestedMinorVersion = 17;
    EXPECT_EQ(lux_Initialize(&params), -3001);
    params.Flags = 0;  // without the request bit the caller's 16 is replaced by 43
    params.RequestedMinorVersion = 16;
    EXPECT_EQ(lux_Initialize(&params), -3001);
    EXPECT_EQ(LastError(), "-3001 Unable to load LibLUXRT DLL");
    EXPECT_FALSE(IsRuntimeLibraryLoaded());
  });
}

TEST(LibrarySearch, TheConfiguredFolderComesFirstIfItFitsThePathBuffer) {
  using Directories = std::array<std::string, 2>;
  EXPECT_EQ(CandidateDirectories(nullptr), (Directories{"", ""}));
  EXPECT_EQ(CandidateDirectories(""), (Directories{"", ""}));
  // 258 characters and the separator fill the buffer but for its NUL.
  EXPECT_EQ(CandidateDirectories(std::string(258, 'd').c_str())[0], std::string(258, 'd') + "/");
  EXPECT_EQ(CandidateDirectories((std::string(258, 'd') + "/").c_str())[0],
            std::string(258, 'd') + "/");
  EXPECT_EQ(CandidateDirectories(std::string(259, 'd').c_str())[0], "");
  EXPECT_EQ(CandidateDirectories((std::string(259, 'd') + "/").c_str())[0], "");
  EXPECT_EQ(RuntimeLibraryPath("", 1), "LibLUXRT64_1.so");
  EXPECT_EQ(RuntimeLibraryPath("/opt/corvia/", 2), "/opt/corvia/LibLUXRT64_2.so");
  // "LibLUXRT64_1.so" has 15 characters; 244 + 15 = 259 fits, 260 does not.
  EXPECT_EQ(RuntimeLibraryPath(std::string(244, 'd'), 1)->size(), 259u);
  EXPECT_EQ(RuntimeLibraryPath(std::string(245, 'd'), 1), std::nullopt);
}

TEST(SignerChain, OneSignerOfExactlyTheExpectedThreeCertificatesWithoutTestOrUntrustedRoots) {
  using platform::FileSignature;
  const FileSignature expected{
      1,
      {{"Corvia VR, LLC", "DigiCert SHA2 Assured ID Code Signing CA", false, false},
       {"DigiCert SHA2 Assured ID Code Signing CA", "DigiCert Assured ID Root CA", false, false},
       {"DigiCert Assured ID Root CA", "DigiCert Assured ID Root CA", true, true}}};
  const std::pair<std::function<void(FileSignature&)>, bool> cases[] = {
      {[](FileSignature&) {}, true},
      {[](FileSignature& s) { s.signerCount = 2; }, false},
      {[](FileSignature& s) { s.signerCount = 0; }, false},
      {[](FileSignature& s) { s.signerChain.pop_back(); }, false},
      {[](FileSignature& s) { s.signerChain.push_back(s.signerChain.back()); }, false},
      {[](FileSignature& s) { s.signerChain[0].subjectCommonName = "Corvia VR, Llc"; }, false},
      {[](FileSignature& s) { s.signerChain[1].issuerCommonName += " "; }, false},
      {[](FileSignature& s) {
         std::swap(s.signerChain[0].subjectCommonName, s.signerChain[0].issuerCommonName);
       },
       false},
      {[](FileSignature& s) { s.signerChain[2].trustedRoot = false; }, false},
      {[](FileSignature& s) { s.signerChain[1].selfSigned = true; }, false},
      {[](FileSignature& s) { s.signerChain[2].selfSigned = false; }, true},  // cross-signed root
      {[](FileSignature& s) { s.signerChain[0].testCertificate = true; }, false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    FileSignature signature = expected;
    cases[i].first(signature);
    EXPECT_EQ(SignerChainMatches(signature, ExpectedSignerChains()[0]), cases[i].second)
        << "case " << i;
  }
}

TEST(ClientIdentifier, AnyChangedIdentifierByteIsDetectedButNotTheVersion) {
  for (size_t i = 0; i < kIdentifierSize; ++i) {
    ClientIdentifier damaged = kClientIdentifier;
    damaged[i] ^= 0x10;
    EXPECT_FALSE(ClientIdentifierIsIntact(damaged)) << "byte " << i;
  }
  ClientIdentifier other = kClientIdentifier;
  other[kVersionMinorIndex] = 44;
  EXPECT_TRUE(ClientIdentifierIsIntact(other));
}

}  // namespace
}  // namespace LuxLoader
