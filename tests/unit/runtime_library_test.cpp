#include "runtime/runtime_library.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <iostream>
#include <set>

#include "lux/lux_capi.h"
#include "runtime/initialization.h"
#include "support/child_process.h"
#include "support/empty_machine.h"

namespace LuxLoader {
namespace {

using testsupport::RunInChild;
using testsupport::UseEmptyMachine;

void PrintLastError() {
  luxErrorInfo info{};
  lux_GetLastErrorInfo(&info);
  std::cout << info.Result << " " << info.ErrorString << std::endl;
}

TEST(RuntimeFunctionTable, HoldsTheHundredAndThreeExportsInBindingOrder) {
  EXPECT_EQ(kRuntimeFunctionNames.size(), 103u);
  EXPECT_EQ(
      std::set<std::string_view>(kRuntimeFunctionNames.begin(), kRuntimeFunctionNames.end()).size(),
      103u);
  static_assert(RuntimeFunctionIndex("lux_Initialize") == 0);
  static_assert(RuntimeFunctionIndex("lux_SubmitFrame2") == 27);
  static_assert(RuntimeFunctionIndex("lux_Lookup") == 54);
  static_assert(RuntimeFunctionIndex("lux_QueryDistortion") == 102);
  for (size_t i = 0; i < kRuntimeFunctionNames.size(); ++i) {
    EXPECT_EQ(RuntimeFunctionAddress(i), nullptr) << kRuntimeFunctionNames[i];
  }
}

TEST(LoaderErrorRecord, StartsAsNeverInitialised) {
  const auto run = RunInChild([] {
    PrintLastError();
    return 0;
  });
  EXPECT_EQ(run.out, "-1004 lux_Initialize never called\n");
}

TEST(LoaderErrorRecord, TextIsCutTo511Characters) {
  const auto run = RunInChild([] {
    SetLoaderError(-7, std::string(600, 'x'));
    luxErrorInfo info{};
    lux_GetLastErrorInfo(&info);
    std::cout << info.Result << " " << std::string(info.ErrorString).size();
    return 0;
  });
  EXPECT_EQ(run.out, "-7 511");
}

TEST(InitParams, DefaultsRequestMinorVersion43) {
  const luxInitParams adjusted = AdjustedInitParams(nullptr);
  EXPECT_EQ(adjusted.Flags, 4u);
  EXPECT_EQ(adjusted.RequestedMinorVersion, 43u);
  EXPECT_EQ(adjusted.LogCallback, nullptr);
  EXPECT_EQ(adjusted.UserData, 0u);
  EXPECT_EQ(adjusted.ConnectionTimeoutMS, 0u);
}

TEST(InitParams, ACallersMinorVersionCountsOnlyWithTheRequestBit) {
  luxInitParams params{};
  params.Flags = luxInit_Debug;
  params.RequestedMinorVersion = 10;
  params.ConnectionTimeoutMS = 250;
  luxInitParams adjusted = AdjustedInitParams(&params);
  EXPECT_EQ(adjusted.Flags, 5u);
  EXPECT_EQ(adjusted.RequestedMinorVersion, 43u);
  EXPECT_EQ(adjusted.ConnectionTimeoutMS, 250u);

  params.Flags = luxInit_RequestVersion;
  params.RequestedMinorVersion = 20;
  adjusted = AdjustedInitParams(&params);
  EXPECT_EQ(adjusted.Flags, 4u);
  EXPECT_EQ(adjusted.RequestedMinorVersion, 20u);
}

TEST(InitParams, OnlyTheLow24FlagBitsAreKept) {
  luxInitParams params{};
  params.Flags = 0xFF000024u;
  params.RequestedMinorVersion = 30;
  EXPECT_EQ(AdjustedInitParams(&params).Flags, 0x24u);
  params.Flags = 0x81000000u;
  EXPECT_EQ(AdjustedInitParams(&params).Flags, 0x4u);
}

TEST(LuxInitialize, MinorVersionBelow17IsRefusedBeforeLoading) {
  const auto run = RunInChild([] {
    UseEmptyMachine();
    luxInitParams params{};
    params.Flags = luxInit_RequestVersion;
    params.RequestedMinorVersion = 16;
    std::cout << lux_Initialize(&params) << std::endl;
    PrintLastError();
    params.RequestedMinorVersion = 17;
    std::cout << lux_Initialize(&params) << std::endl;
    // Without the request bit the caller's 16 is replaced by 43.
    params.Flags = 0;
    params.RequestedMinorVersion = 16;
    std::cout << lux_Initialize(&params) << std::endl;
    return 0;
  });
  EXPECT_EQ(run.out, "-3002\n-1004 lux_Initialize never called\n-3001\n-3001\n");
}

TEST(LuxInitialize, NoLibraryToFindLeavesTheLoadError) {
  const auto run = RunInChild([] {
    UseEmptyMachine();
    std::cout << lux_Initialize(nullptr) << std::endl;
    PrintLastError();
    std::cout << IsRuntimeLibraryLoaded() << std::endl;
    return 0;
  });
  EXPECT_EQ(run.out, "-3001\n-3001 Unable to load LibLUXRT DLL\n0\n");
}

TEST(LuxInitialize, AConfiguredDirectoryWithoutTheLibraryIsAPathFailure) {
  const auto run = RunInChild([] {
    UseEmptyMachine();
    const std::string empty = testing::TempDir() + "runtime_library_without_library";
    std::filesystem::create_directories(empty);
    setenv("LIBLUX_DLL_DIR", empty.c_str(), 1);
    std::cout << lux_Initialize(nullptr) << std::endl;
    PrintLastError();
    return 0;
  });
  // The file of the configured directory cannot be opened; the system search finds nothing.
  EXPECT_EQ(run.out, "-3022\n-3022 Unable to load LibLUXRT DLL\n");
}

TEST(ForwardingFunctions, AnswerAsAnAbsentRuntimeWhileUnbound) {
  const auto run = RunInChild([] {
    luxSession session = nullptr;
    luxGraphicsLuid luid{};
    void* function = nullptr;
    std::cout << lux_Create(&session, &luid) << " " << lux_Lookup("luxi_X", &function) << " "
              << int{lux_SetBool(nullptr, "FakeIADEnabled", luxTrue)} << " "
              << int{lux_SetInt(nullptr, "FrequentTelEventPid", 1)} << " "
              << int{lux_SetFloat(nullptr, "FakeIAD", 0.06f)} << " " << lux_GetTimeInSeconds();
    lux_Destroy(session);
    lux_Shutdown();
    lux_GetLastErrorInfo(nullptr);
    return session == nullptr && function == nullptr ? 0 : 1;
  });
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out, "-1004 -1004 0 0 0 0");
}

}  // namespace
}  // namespace LuxLoader
