#include "ipc/protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ipc/call_messages.h"
#include "ipc/call_status.h"

namespace IPC {
namespace {

TEST(RemoteFunction, ChoosesTheChannelFromTheKindAndTheSelectorFlag) {
  RemoteFunction toHub("toHub", false);
  EXPECT_EQ(toHub.Channel(), -1);
  toHub.Setup(kCallKindCall);
  EXPECT_EQ(toHub.Channel(), 1);
  RemoteFunction selected("toHub", true);
  selected.Setup(kCallKindCall);
  EXPECT_EQ(selected.Channel(), 0);
  selected.Setup(kCallKindProbe);
  EXPECT_EQ(selected.Channel(), 2);
  RemoteFunction tooLong(std::string(64, 'f'));
  tooLong.Setup(kCallKindCall);
  EXPECT_EQ(tooLong.Channel(), -1);
}

TEST(ReturnData, IsExactlyTwoIntegersWhateverTheirValues) {
  IpcBuffer reply = IpcBuffer::Growing();
  ASSERT_TRUE(WriteReturnData(reply, 1));
  IpcBuffer read = IpcBuffer::Reader(reply.Bytes());
  EXPECT_EQ(CheckReturnData(read), kCallSuccess);
  IpcBuffer otherValues = IpcBuffer::Growing();
  ASSERT_TRUE(otherValues.WriteInt(-9) && otherValues.WriteInt(2));
  IpcBuffer readOtherValues = IpcBuffer::Reader(otherValues.Bytes());
  EXPECT_EQ(CheckReturnData(readOtherValues), kCallSuccess);
  reply.WriteByte(0);
  IpcBuffer longer = IpcBuffer::Reader(reply.Bytes());
  EXPECT_EQ(CheckReturnData(longer), kCallBadSignature);
  IpcBuffer shorter = IpcBuffer::Growing();
  shorter.WriteInt(0);
  IpcBuffer readShorter = IpcBuffer::Reader(shorter.Bytes());
  EXPECT_EQ(CheckReturnData(readShorter), kCallBadSignature);
}

TEST(ReplyMessage, ItsStatusBytesDecideTheCallStatus) {
  const auto returnDataStatus = [](IpcBuffer&) { return uint8_t{42}; };
  const std::vector<std::pair<std::vector<uint8_t>, uint8_t>> cases = {
      {{}, kCallInternalError},
      {{0}, kCallInternalError},        // the tagging byte alone
      {{0, 1}, 42},                     // success: the return data decides
      {{0, 3, 3}, kCallNotRegistered},  // failure with the callee's status
      {{0, 3}, kCallInternalError},     // failure without a status
      {{0, 3, 0}, kCallInternalError},  // a failure that claims success
      {{0, 3, 7}, kCallInternalError},  // a time-out only the caller can know
      {{0, 2, 1}, kCallInternalError},
  };
  for (const auto& [bytes, status] : cases) {
    EXPECT_EQ(ReadReply(bytes, returnDataStatus), status) << testing::PrintToString(bytes);
  }
}

TEST(ReplyMessage, AnswersACallByItsKind) {
  const auto answer = [](std::optional<uint8_t> kind) {
    const std::vector<uint8_t> untagged = {0};
    IpcBuffer request = IpcBuffer::Reader(untagged);
    IpcBuffer reply = IpcBuffer::Growing();
    WriteAnswer(kind, request, reply, [](IpcBuffer&, IpcBuffer& returnData) {
      return WriteReturnData(returnData, 1) ? kCallSuccess : kCallInternalError;
    });
    return ReadReply(reply.Bytes(), CheckReturnData);
  };
  EXPECT_EQ(answer(kCallKindCall), kCallSuccess);
  EXPECT_EQ(answer(kCallKindProbe), kCallBadSignature);  // success without return data
  EXPECT_EQ(answer(9), kCallBadSignature);
  EXPECT_EQ(answer(std::nullopt), kCallBadSignature);
}

// A protocol without a transport whose dispatch the tests drive directly.
class DispatchingProtocol : public Protocol {
 public:
  using Protocol::Dispatch;
};

struct Recorder {
  void Text(std::string text) { texts.push_back(std::move(text)); }
  void Pair(int32_t number, bool flag) { pairs.emplace_back(number, flag); }
  std::vector<std::string> texts;
  std::vector<std::pair<int32_t, bool>> pairs;
};

class ProtocolDispatch : public testing::Test {
 protected:
  ProtocolDispatch() {
    protocol_.Register("text", recorder_, &Recorder::Text);
    protocol_.Register("pair", recorder_, &Recorder::Pair);
  }

  // Dispatches a call of `name` with the arguments `write` writes; returns the status.
  template <class Write>
  uint8_t Dispatch(std::string_view name, Write write) {
    IpcBuffer request = IpcBuffer::Growing();
    request.WriteString(name);
    write(request);
    IpcBuffer read = IpcBuffer::Reader(request.Bytes());
    IpcBuffer reply = IpcBuffer::Growing();
    return protocol_.Dispatch(read, reply);
  }

  Recorder recorder_;
  DispatchingProtocol protocol_;
};

// A call of one string with its return data is every end-to-end call.
TEST_F(ProtocolDispatch, CallsTheRegisteredFunctionOfTheNameWithArgumentsOfItsLayout) {
  EXPECT_EQ(Dispatch("pair", [](IpcBuffer& b) { b.WriteInt(-5), b.WriteBool(true); }),
            kCallSuccess);
  EXPECT_EQ(Dispatch("toClient", [](IpcBuffer& b) { b.WriteString("hi"); }), kCallNotRegistered);
  EXPECT_EQ(Dispatch("text", [](IpcBuffer&) {}), kCallBadSignature);
  EXPECT_EQ(Dispatch("text", [](IpcBuffer& b) { b.WriteString("a"), b.WriteInt(1); }),
            kCallBadSignature);
  EXPECT_EQ(Dispatch("pair", [](IpcBuffer& b) { b.WriteInt(int64_t{1} << 33), b.WriteBool(1); }),
            kCallBadSignature);
  EXPECT_TRUE(recorder_.texts.empty());
  EXPECT_EQ(recorder_.pairs, (std::vector<std::pair<int32_t, bool>>{{-5, true}}));
  // Names have at most 63 bytes.
  const std::string longest(63, 'n');
  EXPECT_TRUE(protocol_.Register(longest, recorder_, &Recorder::Text));
  EXPECT_FALSE(protocol_.Register(std::string(64, 'n'), recorder_, &Recorder::Text));
  EXPECT_FALSE(protocol_.Register("", recorder_, &Recorder::Text));
  EXPECT_EQ(Dispatch(longest, [](IpcBuffer& b) { b.WriteString("x"); }), kCallSuccess);
  EXPECT_EQ(Dispatch(std::string(64, 'n'), [](IpcBuffer& b) { b.WriteString("x"); }),
            kCallBadSignature);
  EXPECT_EQ(Dispatch("", [](IpcBuffer& b) { b.WriteString("x"); }), kCallBadSignature);
  // A later registration replaces the earlier one.
  Recorder other;
  protocol_.Register("text", other, &Recorder::Text);
  EXPECT_EQ(Dispatch("text", [](IpcBuffer& b) { b.WriteString("y"); }), kCallSuccess);
  EXPECT_EQ(recorder_.texts, std::vector<std::string>{"x"});
  EXPECT_EQ(other.texts, std::vector<std::string>{"y"});
}

}  // namespace
}  // namespace IPC
