#include "protocol/framing.h"

#include <gtest/gtest.h>

namespace luxsim {
namespace {

Json::Value Message(const std::string& op, int id) {
  Json::Value message;
  message["op"] = op;
  message["id"] = id;
  return message;
}

TEST(Framing, ALittleEndianLengthPrecedesTheCompactBody) {
  const std::string frame = EncodeFrame(Message("hello", 1));
  ASSERT_GE(frame.size(), 4u);
  const std::string body = frame.substr(4);
  EXPECT_EQ(body, "{\"id\":1,\"op\":\"hello\"}");
  EXPECT_EQ(static_cast<unsigned char>(frame[0]), body.size());
  EXPECT_EQ(frame.substr(1, 3), std::string(3, '\0'));
}

TEST(Framing, MessagesSplitAnywhereAreReassembled) {
  const std::string stream = EncodeFrame(Message("a", 1)) + EncodeFrame(Message("b", 2));
  FrameDecoder decoder;
  std::vector<std::string> ops;
  for (const char byte : stream) {
    decoder.Append(&byte, 1);
    while (std::optional<Json::Value> message = decoder.Next())
      ops.push_back((*message)["op"].asString());
  }
  EXPECT_EQ(ops, (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(decoder.Failed());
  EXPECT_FALSE(decoder.Next().has_value());
}

TEST(Framing, ManyMessagesInOneChunkComeOutInOrder) {
  std::string stream;
  for (int i = 0; i < 500; ++i) stream += EncodeFrame(Message(std::string(i % 50, 'x'), i));
  FrameDecoder decoder;
  decoder.Append(stream.data(), stream.size());
  for (int i = 0; i < 500; ++i) {
    const std::optional<Json::Value> message = decoder.Next();
    ASSERT_TRUE(message.has_value()) << i;
    EXPECT_EQ((*message)["id"].asInt(), i);
  }
  EXPECT_FALSE(decoder.Next().has_value());
}

TEST(Framing, AnOversizedFrameFailsTheStream) {
  FrameDecoder decoder;
  const char header[] = {0x01, 0x00, 0x10, 0x00};  // 1 MiB + 1
  decoder.Append(header, 4);
  EXPECT_FALSE(decoder.Next().has_value());
  EXPECT_TRUE(decoder.Failed());
  const std::string good = EncodeFrame(Message("a", 1));
  decoder.Append(good.data(), good.size());
  EXPECT_FALSE(decoder.Next().has_value());
}

TEST(Framing, ABodyThatIsNotAJsonObjectFailsTheStream) {
  for (const std::string body : {"[1,2]", "{\"id\":", "not json"}) {
    FrameDecoder decoder;
    std::string frame(4, '\0');
    frame[0] = static_cast<char>(body.size());
    frame += body;
    decoder.Append(frame.data(), frame.size());
    EXPECT_FALSE(decoder.Next().has_value()) << body;
    EXPECT_TRUE(decoder.Failed()) << body;
  }
}

}  // namespace
}  // namespace luxsim
