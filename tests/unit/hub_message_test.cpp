#include "hub/hub_message.h"

#include <gtest/gtest.h>

namespace QasValidator {
namespace {

TEST(HubMessage, TheEnvelopeIsCompactWithoutALineFeed) {
  Json::Value data(Json::objectValue);
  data["pid"] = Json::UInt(4294967295u);
  EXPECT_EQ(BuildRequestEnvelope("/life_cycle/close_app", data, 17),
            R"({"requestData":{"pid":4294967295},"requestName":"/life_cycle/close_app",)"
            R"("sequenceId":"17"})");
  EXPECT_EQ(BuildRequestEnvelope("/life_cycle/get_hsw_needed", Json::Value(""), 0),
            R"({"requestData":"","requestName":"/life_cycle/get_hsw_needed","sequenceId":"0"})");
}

TEST(HubMessage, ParsesJsonAndNothingElse) {
  EXPECT_TRUE(ParseHubMessage(R"({"a":1})"));
  EXPECT_TRUE(ParseHubMessage("[1,2]"));
  EXPECT_FALSE(ParseHubMessage("{\"a\":"));
  EXPECT_FALSE(ParseHubMessage(""));
  // Deeper than the reader's limit: refused, not thrown.
  EXPECT_FALSE(ParseHubMessage(std::string(5000, '[') + std::string(5000, ']')));
}

TEST(HubMessage, ReadsOnlyMembersOfTheRightType) {
  const Json::Value message =
      *ParseHubMessage(R"({"messageType":"RESPONSE","sequenceId":"3","payloadType":"PLAIN_PID",)"
                       R"("payload":{"pid":12}})");
  EXPECT_TRUE(IsResponse(message));
  EXPECT_TRUE(HasSequenceId(message, "3"));
  EXPECT_FALSE(HasSequenceId(message, "4"));
  EXPECT_EQ(PayloadType(message), "PLAIN_PID");
  ASSERT_NE(PayloadMember(message, "pid"), nullptr);
  EXPECT_EQ(PayloadMember(message, "pid")->asUInt(), 12u);
  EXPECT_EQ(PayloadMember(message, "value"), nullptr);

  const Json::Value numbers = *ParseHubMessage(R"({"messageType":1,"sequenceId":3,"payload":[]})");
  EXPECT_FALSE(IsResponse(numbers));
  EXPECT_FALSE(HasSequenceId(numbers, "3"));
  EXPECT_EQ(PayloadType(numbers), "");
  EXPECT_EQ(PayloadMember(numbers, "pid"), nullptr);
  for (const char* other : {"[]", "7", "\"RESPONSE\"", "null"}) {
    const Json::Value value = *ParseHubMessage(other);
    EXPECT_FALSE(IsResponse(value)) << other;
    EXPECT_EQ(PayloadType(value), "") << other;
    EXPECT_EQ(PayloadMember(value, "value"), nullptr) << other;
  }
}

TEST(HubMessage, TheOkAnswerIsOkOrOkButNotLowerCase) {
  const auto answer = [](const char* payloadType, const char* payload) {
    return IsOkAnswer(*ParseHubMessage(std::string(R"({"payloadType":")") + payloadType +
                                       R"(","payload":)" + payload + "}"));
  };
  EXPECT_TRUE(answer("PLAIN_STRING", R"({"value":"OK"})"));
  EXPECT_TRUE(answer("PLAIN_STRING", R"({"value":"Ok"})"));
  EXPECT_FALSE(answer("PLAIN_STRING", R"({"value":"ok"})"));
  EXPECT_FALSE(answer("PLAIN_STRING", R"({"value":"OK "})"));
  EXPECT_FALSE(answer("PLAIN_STRING", R"({"value":1})"));
  EXPECT_FALSE(answer("PLAIN_STRING", R"({})"));
  EXPECT_FALSE(answer("PLAIN_STRING", R"("OK")"));
  EXPECT_FALSE(answer("BOOL", R"({"value":"OK"})"));
  EXPECT_FALSE(IsOkAnswer(Json::Value()));
}

}  // namespace
}  // namespace QasValidator
