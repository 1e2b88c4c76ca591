#include "rdr/InStream.h"

#include "ScriptedStreams.h"
#include "rdr/Exception.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using testing_support::ScriptedInStream;

namespace {

std::string be32(std::uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

TEST(InStream, TypedReadsAreBigEndian) {
  ScriptedInStream in;
  in.feed(std::string("\x01\x02\x03\x04\x05\x06\x07\xff\xfe\xff\xff\xff\xff\xfd", 14));
  EXPECT_EQ(in.readU8(), 0x01);
  EXPECT_EQ(in.readU16(), 0x0203);
  EXPECT_EQ(in.readU32(), 0x04050607u);
  EXPECT_EQ(in.readS8(), -1);
  EXPECT_EQ(in.readS16(), -257);
  EXPECT_EQ(in.readS32(), -3);
  EXPECT_EQ(in.pos(), 14);
}

// A read that cannot complete rewinds to the checkpoint and throws; feeding
// the rest lets the same message be read again from its start.
TEST(InStream, BlockedReadRewindsToCheckpointAndResumes) {
  ScriptedInStream in;
  in.feed(be32(7));
  EXPECT_EQ(in.readU32(), 7u);
  in.checkpoint();
  in.feed("\x12\x34", 2);
  EXPECT_EQ(in.readU16(), 0x1234);
  EXPECT_THROW(in.readU32(), rdr::BlockException);
  EXPECT_EQ(in.pos(), 4);
  EXPECT_FALSE(in.overrun(false, 3)) << "nothing beyond the two bytes";
  EXPECT_EQ(in.pos(), 4);
  in.feed("\x56\x78\x9a\xbc", 4);
  EXPECT_EQ(in.readU16(), 0x1234) << "reading restarts at the checkpoint";
  EXPECT_EQ(in.readU32(), 0x56789abcu);
  EXPECT_EQ(in.pos(), 10);
}

TEST(InStream, NonWaitingOverrunReturnsFalseAtCheckpoint) {
  ScriptedInStream in;
  in.feed("ab", 2);
  in.readU8();
  in.checkpoint();
  in.readU8();
  EXPECT_FALSE(in.overrun(false, 1));
  EXPECT_EQ(in.pos(), 1);
  EXPECT_EQ(in.readU8(), 'b');
}

// A value split across the end of a small buffer: compaction moves the bytes
// since the checkpoint to the front and none of them is lost.
TEST(InStream, CompactionKeepsEveryByteAfterTheCheckpoint) {
  ScriptedInStream in(8);
  in.feed("0123456", 7);
  for (int i = 0; i < 5; i++)
    in.readU8();
  in.checkpoint();
  EXPECT_EQ(in.readU8(), '5');
  EXPECT_THROW(in.readU32(), rdr::BlockException);
  in.feed("789ABCD", 7);
  EXPECT_EQ(in.readU8(), '5');
  EXPECT_EQ(in.readU32(), 0x36373839u);
  EXPECT_EQ(in.pos(), 10);
  in.rewind();
  EXPECT_EQ(in.pos(), 5);
  EXPECT_EQ(in.readU8(), '5');
  EXPECT_EQ(in.readU16(), 0x3637);
}

TEST(InStream, MessageLongerThanTheBufferReportsOverrun) {
  ScriptedInStream in(8);
  in.feed(std::string(20, 'x'));
  in.checkpoint();
  in.skip(8);
  try {
    in.readU8();
    FAIL() << "no overrun";
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "InStream overrun: buffer size exceeded");
  }
  in.checkpoint();
  EXPECT_EQ(in.readU8(), 'x') << "after a new checkpoint reading goes on";
}

TEST(InStream, GetItemsReturnsTheWholeItemsInTheWindow) {
  ScriptedInStream in(64, 38);
  in.feed(std::string(64, 'i'));
  std::uint8_t buffer[4];
  int n = 10;
  in.readU16();
  const std::uint8_t* p = in.getItems(buffer, 4, &n);
  EXPECT_EQ(n, 9);
  EXPECT_NE(p, buffer);
  EXPECT_EQ(in.pos(), 2 + 36);
  n = 1;
  in.getItems(buffer, 4, &n);
  EXPECT_EQ(n, 1);
}

TEST(InStream, ReadStringChecksItsMaximumBeforeAllocating) {
  struct Case {
    const char* name;
    std::string bytes;
    int max;
    const char* want; // nullptr: too long
  } cases[] = {
      {"empty", be32(0), 0, ""},
      {"exactly max", be32(3) + "abc", 3, "abc"},
      {"one over max", be32(4) + "abcd", 3, nullptr},
      {"huge length", be32(0xffffffffu), 1 << 30, nullptr},
      {"negative max", be32(1) + "a", -5, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedInStream in;
    in.feed(c.bytes);
    if (c.want) {
      std::unique_ptr<char[]> s(in.readString(c.max));
      EXPECT_STREQ(s.get(), c.want);
    } else {
      EXPECT_THROW(in.readString(c.max), rdr::StringTooLongException);
      EXPECT_EQ(in.pos(), 4) << "the length is consumed";
    }
  }
}

TEST(InStream, TruncatedStringsRewind) {
  const std::string whole = be32(5) + "hello";
  for (size_t cut : {size_t(0), size_t(2), size_t(4), size_t(7)}) {
    SCOPED_TRACE(cut);
    ScriptedInStream in;
    in.feed(whole.substr(0, cut));
    in.checkpoint();
    EXPECT_THROW(in.readString(100), rdr::BlockException);
    EXPECT_EQ(in.pos(), 0);
    in.feed(whole.substr(cut));
    std::unique_ptr<char[]> s(in.readString(100));
    EXPECT_STREQ(s.get(), "hello");
  }
}

TEST(InStream, StringLongerThanTheWindowIsGathered) {
  // A non-rewindable stream compacts freely, so a body larger than its
  // buffer is copied piece by piece.
  class Chunks : public ScriptedInStream {
  public:
    Chunks() : ScriptedInStream(16, 5) { rewindable = false; }
  };
  Chunks in;
  std::string body(100, 'q');
  body[99] = 'z';
  in.feed(be32(100) + body);
  std::unique_ptr<char[]> s(in.readString(100));
  EXPECT_EQ(std::string(s.get()), body);
}

TEST(InStream, Reposition) {
  ScriptedInStream in;
  in.feed("abcdefgh", 8);
  in.skip(2);
  in.checkpoint();
  in.skip(3);
  in.reposition(2);
  EXPECT_EQ(in.readU8(), 'c') << "to the checkpoint itself: nothing skipped";
  in.reposition(6);
  EXPECT_EQ(in.readU8(), 'g');
  try {
    in.reposition(1);
    FAIL();
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Can't reposition before checkpoint");
  }
}

// Offsets are 64-bit: a long transfer passes 2 GiB and 4 GiB correctly.
TEST(InStream, PositionsPassFourGigabytes) {
  class Endless : public rdr::BufferedInStream {
  public:
    Endless() : rdr::BufferedInStream(1 << 20) {}

  protected:
    int readData(std::uint8_t*, int length) override { return length; }
  };
  Endless in;
  const std::int64_t target = (std::int64_t(1) << 32) + 12345;
  while (in.pos() < target) {
    in.skip(static_cast<int>(std::min<std::int64_t>(target - in.pos(), 1 << 20)));
    in.checkpoint();
  }
  EXPECT_EQ(in.pos(), target);
  in.skip(1);
  in.rewind();
  EXPECT_EQ(in.pos(), target);
}

} // namespace
