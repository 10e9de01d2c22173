#include "request_router.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace luxsim {
namespace {

Json::Value Request(const std::string& op) {
  Json::Value request;
  request["op"] = op;
  return request;
}

class RequestRouterTest : public testing::Test {
 protected:
  void SetUp() override {
    router_.Handle("ok", [](const RequestContext&, const Json::Value&, const Reply& reply) {
      reply(Json::Value(Json::objectValue));
    });
    router_.Handle("fail",
                   [](const RequestContext&, const Json::Value& request, const Reply& reply) {
                     reply(Answer(request["code"].asInt(), request["text"].asString()));
                   });
    router_.Handle("later", [this](const RequestContext&, const Json::Value&, Reply reply) {
      later_ = std::move(reply);
    });
  }

  // Dispatches `request` from process `pid` and returns the answer sent.
  Json::Value Send(const Json::Value& request, uint32_t pid = 42) {
    Json::Value answer;
    router_.Dispatch({.client = 1, .pid = pid}, request, [&](Json::Value sent) { answer = sent; });
    return answer;
  }

  void Observe() {
    router_.AddFailureObserver([this](const RequestContext& context, luxResult result,
                                      const std::string& error) {
      failures_.push_back(std::to_string(context.pid) + " " + std::to_string(result) + " " + error);
    });
  }

  RequestRouter router_;
  Reply later_;
  std::vector<std::string> failures_;
};

TEST_F(RequestRouterTest, RequestsGoToTheHandlerOfTheirOp) {
  Json::Value request = Request("fail");
  request["code"] = -1005;
  request["text"] = "bad";
  EXPECT_EQ(Send(request), Answer(luxError_InvalidParameter, "bad"));
  EXPECT_EQ(Send(Request("ok")), Json::Value(Json::objectValue));
  EXPECT_EQ(Send(Request("fly"))["error"].asString(),
            "The runtime service does not know the request fly");
}

TEST_F(RequestRouterTest, FailureObserversSeeEveryFailedAnswerAndNoOther) {
  Observe();
  Json::Value request = Request("fail");
  request["code"] = -6000;
  request["text"] = "The display was lost";
  Send(request, 7);
  request["code"] = 1000;  // a success with a note
  Send(request);
  Send(Request("ok"));
  Send(Request("fly"), 9);
  EXPECT_EQ(failures_, (std::vector<std::string>{
                           "7 -6000 The display was lost",
                           "9 -1009 The runtime service does not know the request fly"}));
}

TEST_F(RequestRouterTest, AnswersSentLaterAreObservedWhenTheyAreSent) {
  Observe();
  Json::Value answer;
  router_.Dispatch({.client = 1, .pid = 5}, Request("later"),
                   [&](Json::Value sent) { answer = sent; });
  EXPECT_TRUE(failures_.empty());
  later_(Answer(luxError_Timeout));
  EXPECT_EQ(failures_, (std::vector<std::string>{"5 -1003 "}));
  EXPECT_EQ(answer["result"].asInt(), luxError_Timeout);
}

}  // namespace
}  // namespace luxsim
