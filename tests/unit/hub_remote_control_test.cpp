#include "hub/hub_remote_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "hub/hub_message.h"
#include "support/child_process.h"
#include "support/machine_prefix.h"
#include "support/shell_service.h"

namespace QasValidator {
namespace {

using namespace std::chrono_literals;

constexpr HubTiming kQuick{2000, 50};

using testsupport::Answering;
using testsupport::SequenceIdOf;
using testsupport::ShellAnswer;
using testsupport::ShellMessage;
using testsupport::ShellService;

class HubRemoteControlTest : public testing::Test {
 protected:
  testsupport::ScopedMachinePrefix prefix_;
};

// The data of each request reaches the simulated shell, which refuses what it cannot read, in
// the end-to-end runs (HubShellE2E for the audio and mirror settings).

// Each request reads its answer: the result, the value it gives, and what it prints.
TEST_F(HubRemoteControlTest, EachRequestReadsOnlyAnAnswerOfItsPayloadTypeAndShape) {
  using Ask = std::function<std::string(HubRemoteControl&)>;
  const Ask location = [](HubRemoteControl& hub) {
    std::string value = "before";
    const bool answered = hub.GetActualLocation(value);
    return std::to_string(answered) + " " + value;
  };
  const Ask hswNeeded = [](HubRemoteControl& hub) { return std::to_string(hub.GetHswNeeded()); };
  const Ask focused = [](HubRemoteControl& hub) {
    uint32_t pid = 99;
    const bool answered = hub.GetFocusedPid(pid);
    return std::to_string(answered) + " " + std::to_string(pid);
  };
  const Ask dash = [](HubRemoteControl& hub) {
    std::string value = "before";
    const bool answered = hub.GetDashVisibility(value);
    return std::to_string(answered) + " " + value;
  };
  const Ask probe = [](HubRemoteControl& hub) { return std::to_string(hub.GetDashVisibility()); };
  const Ask aware = [](HubRemoteControl& hub) { return std::to_string(hub.GetFocusAware(1)); };
  const Ask closeApp = [](HubRemoteControl& hub) { return std::to_string(hub.CloseApp(1)); };
  const std::string note =
      "Could not determine if app is focus aware. Testing as if app is not focus aware.\n";
  const struct {
    Ask ask;
    const char* payloadType;
    const char* payload;
    std::string result;
    std::string printed = "";
  } cases[] = {
      // An OK answer, as IsOkAnswer has it.
      {closeApp, "PLAIN_STRING", R"({"value":"OK"})", "1"},
      {location, "LIFE_CYCLE_LOCATION_UPDATE", R"({"location":"APP"})", "1 APP"},
      {location, "PLAIN_STRING", R"({"location":"UM"})", "0 "},
      {location, "LIFE_CYCLE_LOCATION_UPDATE", R"({"place":"UM"})", "0 "},
      {hswNeeded, "HSW_NEEDED_UPDATE", R"({"needed":true})", "1"},
      {hswNeeded, "HSW_NEEDED_UPDATE", R"({"needed":false})", "0"},
      {hswNeeded, "PLAIN_STRING", R"({"needed":true})", "0"},
      {focused, "PLAIN_PID", R"({"pid":4321})", "1 4321"},
      {focused, "PLAIN_PID", R"({})", "0 0"},
      {focused, "PLAIN_PID", R"({"pid":-1})", "0 0"},
      {focused, "BOOL", R"({"pid":5})", "0 0"},
      {dash, "DASH_VISIBILITY", R"({"dashVisibility":"VISIBLE"})", "1 VISIBLE"},
      {dash, "DASH_VISIBILITY", R"({"dashVisibility":1})", "1 1"},  // any value, as JSON
      {dash, "DASH_VISIBILITY", R"({})", "0 before"},
      {probe, "DASH_VISIBILITY", R"({"dashVisibility":null})", "1"},
      {probe, "PLAIN_STRING", R"({"dashVisibility":"VISIBLE"})", "0"},
      {aware, "BOOL", R"({"value":true})", "1"},
      {aware, "BOOL", R"({"value":1})", "1"},
      {aware, "BOOL", R"({"value":false})", "0"},
      {aware, "BOOL", R"({"value":"true"})", "0"},  // answered, but with no true value
      {aware, "BOOL", R"({})", "0", note},
      {aware, "PLAIN_STRING", R"({"value":true})", "0", note},
  };
  for (const auto& c : cases) {
    const testsupport::ChildOutcome run = testsupport::ExpectInChild([&] {
      ShellService service(Answering([&](const std::string&) -> std::optional<ShellAnswer> {
        return ShellAnswer{c.payloadType, c.payload};
      }));
      ASSERT_TRUE(service.Start());
      HubRemoteControl hub(kQuick);
      EXPECT_EQ(c.ask(hub), c.result) << c.payloadType << " " << c.payload;
      EXPECT_TRUE(hub.ReceivedMessages().empty());  // the response was taken
    });
    EXPECT_EQ(run.out, c.printed) << c.payloadType << " " << c.payload;
  }
  // The acknowledgement of the warning only needs a response, and leaves it in the list.
  ShellService service(Answering([](const std::string&) -> std::optional<ShellAnswer> {
    return ShellAnswer{"SOMETHING_ELSE", "{}"};
  }));
  ASSERT_TRUE(service.Start());
  HubRemoteControl hub(kQuick);
  EXPECT_TRUE(hub.HswAcked());
  ASSERT_EQ(hub.ReceivedMessages().size(), 1u);
  EXPECT_TRUE(HasSequenceId(hub.ReceivedMessages()[0], "0"));
}

// At most the newest messages are kept, and the dropped ones counted.
TEST_F(HubRemoteControlTest, MessagesThatAreNoResponseAreKeptButWakeNobody) {
  const auto run = testsupport::ExpectInChild([] {
    ShellService service([](const Json::Value& request) -> std::vector<std::string> {
      if (SequenceIdOf(request) == "0") return {ShellMessage("", "PLAIN_STRING", "{}", "EVENT")};
      std::vector<std::string> messages(300, ShellMessage("", "DASH_VISIBILITY", "{}", "EVENT"));
      messages.insert(messages.begin(), "not json");
      messages.push_back(ShellMessage(SequenceIdOf(request), "PLAIN_STRING", R"({"value":"OK"})"));
      return messages;
    });
    ASSERT_TRUE(service.Start());
    HubRemoteControl hub(HubTiming{200, 50});
    EXPECT_FALSE(hub.CloseApp(1));  // only an event came
    EXPECT_TRUE(hub.CloseApp(1));
    const std::vector<Json::Value> left = hub.ReceivedMessages();
    EXPECT_EQ(left.size(), HubRemoteControl::kMaxKeptMessages - 1);
    EXPECT_EQ(hub.DroppedMessages(), 302 - HubRemoteControl::kMaxKeptMessages);
    for (const Json::Value& message : left) EXPECT_FALSE(IsResponse(message));
  });
  EXPECT_EQ(run.out,
            "ERROR: Response from HUB was not received before timeout (0 seconds)\n"
            "ERROR: Unable to parse message received from HUB\n");
}

TEST_F(HubRemoteControlTest, AWaitingRequestFailsAtOnceWhenTheConnectionGoes) {
  const auto run = testsupport::ExpectInChild([] {
    ShellService* self = nullptr;
    ShellService service([&self](const Json::Value&) -> std::vector<std::string> {
      self->DisconnectLater(50ms);
      return {};
    });
    self = &service;
    ASSERT_TRUE(service.Start());
    HubRemoteControl hub(HubTiming{10000, 50});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(hub.CloseApp(1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  });
  EXPECT_EQ(run.out, "");  // no timeout line
}

TEST(HubMessage, ParsesJsonAndNothingElse) {
  EXPECT_TRUE(ParseHubMessage(R"({"a":1})"));
  EXPECT_FALSE(ParseHubMessage("{\"a\":"));
  EXPECT_FALSE(ParseHubMessage(""));
  // Deeper than the reader's limit: refused, not thrown.
  EXPECT_FALSE(ParseHubMessage(std::string(5000, '[') + std::string(5000, ']')));
}

// The members of well-formed answers are read by each request above.
TEST(HubMessage, ReadsNoMemberOfTheWrongTypeOrOfANonObject) {
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
  EXPECT_FALSE(answer("PLAIN_STRING", R"({"value":1})"));
  EXPECT_FALSE(answer("PLAIN_STRING", R"({})"));
  EXPECT_FALSE(answer("PLAIN_STRING", R"("OK")"));
  EXPECT_FALSE(answer("BOOL", R"({"value":"OK"})"));
}

}  // namespace
}  // namespace QasValidator
