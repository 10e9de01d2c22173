#include "ipc/ipc_buffer.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "ipc/call_arguments.h"

namespace IPC {
namespace {

std::vector<uint8_t> Written(const IpcBuffer& buffer) {
  const auto bytes = buffer.Bytes();
  return {bytes.begin(), bytes.end()};
}

TEST(IpcBufferWriting, StartsWithTheUntaggedByteAndWritesLittleEndian) {
  IpcBuffer buffer = IpcBuffer::Growing();
  EXPECT_EQ(buffer.Position(), 1);
  EXPECT_TRUE(buffer.WriteInt(0x0102030405060708));
  EXPECT_TRUE(buffer.WriteInt(-2));
  EXPECT_TRUE(buffer.WriteBool(true));
  EXPECT_TRUE(buffer.WriteByte(0xAB));
  EXPECT_TRUE(buffer.WriteString("ab"));
  const std::vector<uint8_t> raw = {9, 8};
  EXPECT_TRUE(buffer.WriteRaw(raw));
  EXPECT_EQ(
      Written(buffer),
      (std::vector<uint8_t>{0,                                                         // untagged
                            8,    7,    6,    5,    4,    3,    2,    1,               // integer
                            0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,            // -2
                            1,    0xAB,                                                // bool, byte
                            2,    0,    0,    0,    0,    0,    0,    0,    'a', 'b',  // string
                            9,    8}));                                                // raw block
  EXPECT_FALSE(buffer.IsTagged());
}

TEST(IpcBufferWriting, IntegersOfEveryWidthTakeEightBytes) {
  IpcBuffer buffer = IpcBuffer::Growing();
  EXPECT_TRUE(WriteArgument(buffer, int32_t{-1}));
  EXPECT_TRUE(WriteArgument(buffer, uint16_t{7}));
  EXPECT_EQ(buffer.Position(), 17);
  EXPECT_EQ(Written(buffer)[1], 0xFF);
  EXPECT_EQ(Written(buffer)[8], 0xFF);  // sign-extended
  EXPECT_EQ(Written(buffer)[9], 7);
}

TEST(IpcBufferWriting, GrowsToTheSmallestPowerOfTwoThatHoldsTheData) {
  IpcBuffer buffer = IpcBuffer::Growing(4);
  EXPECT_EQ(buffer.Capacity(), 4);
  EXPECT_TRUE(buffer.WriteInt(1));  // needs 9
  EXPECT_EQ(buffer.Capacity(), 16);
  EXPECT_TRUE(buffer.WriteInt(2));  // needs 17
  EXPECT_EQ(buffer.Capacity(), 32);
  EXPECT_TRUE(buffer.WriteRaw(std::vector<uint8_t>(15, 3)));  // needs exactly 32
  EXPECT_EQ(buffer.Capacity(), 32);
  EXPECT_TRUE(buffer.WriteByte(4));  // needs 33
  EXPECT_EQ(buffer.Capacity(), 64);
  const auto bytes = Written(buffer);
  EXPECT_EQ(bytes.size(), 33u);
  EXPECT_EQ(bytes[1], 1);
  EXPECT_EQ(bytes[9], 2);
  EXPECT_EQ(bytes[32], 4);
}

TEST(IpcBufferWriting, AFixedBufferFailsWhenFullAndStaysFailed) {
  std::array<uint8_t, 10> storage{};
  IpcBuffer buffer = IpcBuffer::Fixed(storage);
  EXPECT_TRUE(buffer.WriteInt(5));
  EXPECT_EQ(buffer.Position(), 9);
  EXPECT_FALSE(buffer.WriteInt(6));
  EXPECT_TRUE(buffer.HasError());
  EXPECT_FALSE(buffer.WriteByte(1));  // there would be room, but the buffer has failed
  EXPECT_EQ(buffer.Position(), 9);
  EXPECT_FALSE(buffer.OwnsStorage());
  buffer.Rewind();
  EXPECT_FALSE(buffer.HasError());
  EXPECT_TRUE(buffer.WriteByte(1));
  EXPECT_EQ(buffer.Position(), 2);
}

TEST(IpcBufferWriting, ASpillingBufferMovesToStorageOfItsOwn) {
  std::array<uint8_t, 16> storage{};
  IpcBuffer buffer = IpcBuffer::Spilling(storage);
  EXPECT_TRUE(buffer.WriteInt(0x1122));
  EXPECT_FALSE(buffer.OwnsStorage());
  EXPECT_EQ(storage[1], 0x22);  // written in place
  EXPECT_TRUE(buffer.WriteInt(0x3344));
  EXPECT_TRUE(buffer.OwnsStorage());
  EXPECT_EQ(buffer.Capacity(), 32);
  const auto bytes = Written(buffer);
  EXPECT_EQ(bytes[1], 0x22);
  EXPECT_EQ(bytes[9], 0x44);
  EXPECT_EQ(storage[9], 0);  // the second value went to the new storage only
}

TEST(IpcBufferWriting, EmptyStorageIsAnError) {
  IpcBuffer buffer = IpcBuffer::Fixed({});
  EXPECT_TRUE(buffer.HasError());
  EXPECT_FALSE(buffer.WriteByte(0));
}

TEST(IpcBufferReading, ReadsWhatAWriterWrote) {
  IpcBuffer writer = IpcBuffer::Growing();
  writer.WriteInt(-123456789012);
  writer.WriteBool(false);
  writer.WriteString("hello");
  writer.WriteString("");
  IpcBuffer reader = IpcBuffer::Reader(writer.Bytes());
  int64_t integer = 0;
  bool flag = true;
  std::string text;
  std::string empty = "x";
  EXPECT_TRUE(reader.ReadInt(integer));
  EXPECT_TRUE(reader.ReadBool(flag));
  EXPECT_TRUE(reader.ReadString(text));
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_TRUE(reader.ReadString(empty));
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(integer, -123456789012);
  EXPECT_FALSE(flag);
  EXPECT_EQ(text, "hello");
  EXPECT_EQ(empty, "");
  EXPECT_FALSE(reader.HasError());
  uint8_t more = 0;
  EXPECT_FALSE(reader.ReadByte(more));
  EXPECT_TRUE(reader.HasError());
}

TEST(IpcBufferReading, ATaggedMessageCarriesATagBeforeEachValue) {
  const std::vector<uint8_t> message = {
      1,                                          // tagged
      8, 42, 0, 0, 0, 0, 0, 0, 0,                 // integer 42
      1, 1,                                       // bool true
      8, 3,  0, 0, 0, 0, 0, 0, 0, 'x', 'y', 'z',  // string, tag on the length only
  };
  IpcBuffer reader = IpcBuffer::Reader(message);
  EXPECT_TRUE(reader.IsTagged());
  int64_t integer = 0;
  bool flag = false;
  std::string text;
  EXPECT_TRUE(reader.ReadInt(integer));
  EXPECT_TRUE(reader.ReadBool(flag));
  EXPECT_TRUE(reader.ReadString(text));
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(integer, 42);
  EXPECT_TRUE(flag);
  EXPECT_EQ(text, "xyz");
}

TEST(IpcBufferReading, AWrongTagFailsAndEveryLaterReadFails) {
  const std::vector<uint8_t> message = {7, 1, 5, 8, 1, 0, 0, 0, 0, 0, 0, 0};
  IpcBuffer reader = IpcBuffer::Reader(message);
  int64_t integer = 0;
  EXPECT_FALSE(reader.ReadInt(integer));  // tag 1 where an integer (tag 8) is expected
  EXPECT_TRUE(reader.HasError());
  uint8_t byte = 0;
  EXPECT_FALSE(reader.ReadByte(byte));
}

TEST(IpcBufferReading, RejectsStringLengthsThatDoNotFit) {
  for (const int64_t length : {int64_t{-1}, int64_t{3}, int64_t{1} << 40}) {
    IpcBuffer writer = IpcBuffer::Growing();
    writer.WriteInt(length);
    writer.WriteRaw(std::vector<uint8_t>{'a', 'b'});
    IpcBuffer reader = IpcBuffer::Reader(writer.Bytes());
    std::string text;
    EXPECT_FALSE(reader.ReadString(text)) << length;
    EXPECT_TRUE(reader.HasError());
  }
  IpcBuffer writer = IpcBuffer::Growing();
  writer.WriteString("abcd");
  IpcBuffer limited = IpcBuffer::Reader(writer.Bytes());
  std::string text;
  EXPECT_FALSE(limited.ReadString(text, 3));
}

TEST(IpcBufferReading, ATruncatedIntegerOrAnEmptyMessageIsAnError) {
  const std::vector<uint8_t> truncated = {0, 1, 2, 3};
  IpcBuffer reader = IpcBuffer::Reader(truncated);
  int64_t integer = 0;
  EXPECT_FALSE(reader.ReadInt(integer));
  IpcBuffer empty = IpcBuffer::Reader({});
  EXPECT_TRUE(empty.HasError());
}

TEST(IpcBufferReading, NarrowIntegersMustFitTheirType) {
  IpcBuffer writer = IpcBuffer::Growing();
  writer.WriteInt(int64_t{1} << 40);
  writer.WriteInt(-1);
  writer.WriteInt(-1);
  IpcBuffer reader = IpcBuffer::Reader(writer.Bytes());
  int64_t wide = 0;
  uint32_t narrow = 0;
  uint64_t bits = 0;
  EXPECT_TRUE(ReadArgument(reader, wide));
  EXPECT_TRUE(ReadArgument(reader, bits));
  EXPECT_EQ(bits, UINT64_MAX);
  EXPECT_FALSE(ReadArgument(reader, narrow));  // -1 is no uint32_t
  EXPECT_TRUE(reader.HasError());

  IpcBuffer tooLarge = IpcBuffer::Reader(writer.Bytes());
  int32_t small = 0;
  EXPECT_FALSE(ReadArgument(tooLarge, small));
  EXPECT_FALSE(ReadArgument(tooLarge, wide));  // the failure sticks
}

}  // namespace
}  // namespace IPC
