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

TEST(IpcBufferWriting, AnUntaggedByteThenLittleEndianValuesOfEightBytesEach) {
  IpcBuffer buffer = IpcBuffer::Growing(4);
  EXPECT_TRUE(buffer.WriteInt(0x0102030405060708));
  EXPECT_TRUE(WriteArgument(buffer, int32_t{-2}));  // sign-extended
  EXPECT_TRUE(buffer.WriteBool(true));
  EXPECT_TRUE(buffer.WriteByte(0xAB));
  EXPECT_TRUE(WriteArgument(buffer, uint16_t{7}));
  EXPECT_TRUE(buffer.WriteString("ab"));
  EXPECT_TRUE(buffer.WriteRaw(std::vector<uint8_t>{9, 8}));
  EXPECT_EQ(Written(buffer),
            (std::vector<uint8_t>{0,                                               // untagged
                                  8,    7,    6,    5,    4,    3,    2,    1,     // integer
                                  0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // -2
                                  1,    0xAB,                                      // bool, byte
                                  7,    0,    0,    0,    0,    0,    0,    0,     // uint16_t
                                  2,    0,    0,    0,    0,    0,    0,    0,    'a',
                                  'b',  // string
                                  9,    8}));
  EXPECT_FALSE(buffer.IsTagged());
}

TEST(IpcBufferWriting, AFixedBufferFailsWhenFullUntilRewoundAndASpillingOneMovesOut) {
  std::array<uint8_t, 10> storage{};
  IpcBuffer fixed = IpcBuffer::Fixed(storage);
  EXPECT_TRUE(fixed.WriteInt(5));
  EXPECT_FALSE(fixed.WriteInt(6));
  EXPECT_TRUE(fixed.HasError());
  EXPECT_FALSE(fixed.WriteByte(1));  // there would be room, but the buffer has failed
  EXPECT_EQ(fixed.Position(), 9);
  EXPECT_FALSE(fixed.OwnsStorage());
  fixed.Rewind();
  EXPECT_TRUE(fixed.WriteByte(1));
  EXPECT_EQ(fixed.Position(), 2);
  EXPECT_FALSE(IpcBuffer::Fixed({}).WriteByte(0));  // empty storage is an error

  std::array<uint8_t, 16> small{};
  IpcBuffer spilling = IpcBuffer::Spilling(small);
  EXPECT_TRUE(spilling.WriteInt(0x1122));
  EXPECT_FALSE(spilling.OwnsStorage());
  EXPECT_EQ(small[1], 0x22);  // written in place
  EXPECT_TRUE(spilling.WriteInt(0x3344));
  EXPECT_TRUE(spilling.OwnsStorage());
  EXPECT_EQ(Written(spilling)[1], 0x22);
  EXPECT_EQ(Written(spilling)[9], 0x44);
  EXPECT_EQ(small[9], 0);  // the second value went to the new storage only
}

// Integers, booleans and strings read back are every end-to-end call's.
TEST(IpcBufferReading, ReadsAnEmptyStringNothingPastTheEndAndATaggedMessage) {
  IpcBuffer writer = IpcBuffer::Growing();
  writer.WriteString("");
  IpcBuffer reader = IpcBuffer::Reader(writer.Bytes());
  std::string text = "x";
  EXPECT_TRUE(reader.ReadString(text));
  EXPECT_EQ(text, "");
  EXPECT_TRUE(reader.AtEnd());
  uint8_t more = 0;
  EXPECT_FALSE(reader.ReadByte(more));
  EXPECT_TRUE(reader.HasError());

  int64_t integer = 0;
  bool flag = false;
  const std::vector<uint8_t> tagged = {
      1,                                          // tagged
      8, 42, 0, 0, 0, 0, 0, 0, 0,                 // integer 42
      1, 1,                                       // bool true
      8, 3,  0, 0, 0, 0, 0, 0, 0, 'x', 'y', 'z',  // string, tag on the length only
  };
  IpcBuffer taggedReader = IpcBuffer::Reader(tagged);
  EXPECT_TRUE(taggedReader.IsTagged());
  EXPECT_TRUE(taggedReader.ReadInt(integer) && taggedReader.ReadBool(flag) &&
              taggedReader.ReadString(text));
  EXPECT_TRUE(taggedReader.AtEnd());
  EXPECT_EQ(integer, 42);
  EXPECT_TRUE(flag);
  EXPECT_EQ(text, "xyz");
}

TEST(IpcBufferReading, WhatDoesNotFitFailsAndEveryLaterReadFails) {
  // A wrong tag: 1 where an integer (tag 8) is expected.
  const std::vector<uint8_t> wrongTag = {7, 1, 5, 8, 1, 0, 0, 0, 0, 0, 0, 0};
  IpcBuffer tagged = IpcBuffer::Reader(wrongTag);
  int64_t integer = 0;
  uint8_t byte = 0;
  EXPECT_FALSE(tagged.ReadInt(integer));
  EXPECT_FALSE(tagged.ReadByte(byte));
  const std::vector<uint8_t> truncated = {0, 1, 2, 3};
  EXPECT_FALSE(IpcBuffer::Reader(truncated).ReadInt(integer));
  EXPECT_TRUE(IpcBuffer::Reader({}).HasError());
  for (const int64_t length : {int64_t{-1}, int64_t{3}, int64_t{1} << 40}) {
    IpcBuffer writer = IpcBuffer::Growing();
    writer.WriteInt(length);
    writer.WriteRaw(std::vector<uint8_t>{'a', 'b'});
    IpcBuffer reader = IpcBuffer::Reader(writer.Bytes());
    std::string text;
    EXPECT_FALSE(reader.ReadString(text)) << length;
    EXPECT_TRUE(reader.HasError());
  }
  IpcBuffer four = IpcBuffer::Growing();
  four.WriteString("abcd");
  std::string text;
  EXPECT_FALSE(IpcBuffer::Reader(four.Bytes()).ReadString(text, 3));
  // Narrow integers must fit their type.
  IpcBuffer writer = IpcBuffer::Growing();
  writer.WriteInt(int64_t{1} << 40);
  writer.WriteInt(-1);
  writer.WriteInt(-1);
  IpcBuffer reader = IpcBuffer::Reader(writer.Bytes());
  uint32_t narrow = 0;
  uint64_t bits = 0;
  EXPECT_TRUE(ReadArgument(reader, integer));
  EXPECT_TRUE(ReadArgument(reader, bits));
  EXPECT_EQ(bits, UINT64_MAX);
  EXPECT_FALSE(ReadArgument(reader, narrow));  // -1 is no uint32_t
  IpcBuffer tooLarge = IpcBuffer::Reader(writer.Bytes());
  int32_t small = 0;
  EXPECT_FALSE(ReadArgument(tooLarge, small));
  EXPECT_FALSE(ReadArgument(tooLarge, integer));  // the failure sticks
}

}  // namespace
}  // namespace IPC
