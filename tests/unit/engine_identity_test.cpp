#include "engine_identity.h"

#include <gtest/gtest.h>

namespace luxsim {
namespace {

TEST(EngineIdentity, TheFourKeysAreReadFromTheirLines) {
  EXPECT_EQ(ParseEngineIdentity("EngineName: Unity\nEngineVersion: 2019.4.31f1\n"
                                "EnginePluginName: LUXPlugin\nEnginePluginVersion: 1.43.0\n"),
            (EngineIdentity{"Unity", "2019.4.31f1", "LUXPlugin", "1.43.0"}));
}

TEST(EngineIdentity, KeysEndAtAColonOrABlankAndValuesAreTrimmed) {
  EXPECT_EQ(ParseEngineIdentity("EngineName Unreal Engine\r\n  EngineVersion :4.27 \n"
                                "EnginePluginVersion:\t1.2"),
            (EngineIdentity{"Unreal Engine", "4.27", "", "1.2"}));
}

TEST(EngineIdentity, OtherLinesAreSkippedAndALaterLineWins) {
  EXPECT_EQ(ParseEngineIdentity("SDKVersion: 1.43\n\nEngineName: A\nenginename: b\nEngineName: C"),
            (EngineIdentity{"C", "", "", ""}));
}

TEST(EngineIdentity, TextsWithoutAnEngineKeyNameNoEngine) {
  EXPECT_EQ(ParseEngineIdentity(""), std::nullopt);
  EXPECT_EQ(ParseEngineIdentity("SDKVersion: 1.43\nEngineNames: x\nEngine: y"), std::nullopt);
}

}  // namespace
}  // namespace luxsim
