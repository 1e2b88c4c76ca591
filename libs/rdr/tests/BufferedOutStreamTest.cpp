#include "rdr/BufferedOutStream.h"

#include "ScriptedStreams.h"
#include "plat/ConfigParameter.h"
#include "plat/ParameterSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::ScriptedOutStream;

namespace {

TEST(BufferedOutStream, TypedWritesAreBigEndianAndFlushWritesThemOut) {
  ScriptedOutStream out;
  out.writeU8(1);
  out.writeU16(0x0203);
  out.writeU32(0x04050607);
  out.writeS8(-1);
  out.writeS16(-257);
  out.writeS32(-3);
  out.writeString("ab");
  EXPECT_EQ(out.length(), 20);
  EXPECT_TRUE(out.taken.empty()) << "nothing goes before a flush";
  out.flush();
  EXPECT_EQ(out.taken, std::string("\x01\x02\x03\x04\x05\x06\x07\xff\xfe\xff\xff\xff\xff\xfd"
                                   "\x00\x00\x00\x02"
                                   "ab",
                                   20));
  EXPECT_EQ(out.length(), 20);
  EXPECT_EQ(out.unsentBytes(), 0);
}

// A peer that reads nothing: the buffer doubles from 16384 up to the greatest
// size, then the writer has to wait, which here reports the stream full.
TEST(BufferedOutStream, DoublesUpToTheGreatestSizeThenWaits) {
  ScriptedOutStream out(0, 0);
  const int limit = rdr::BufferedOutStream::maxBufSize();
  std::vector<char> block(4096, 'b');
  std::int64_t written = 0;
  try {
    for (;;) {
      out.writeBytes(block.data(), static_cast<int>(block.size()));
      written += block.size();
    }
  } catch (plat::TimedOut&) {
  }
  EXPECT_EQ(out.getBufSize(), limit);
  EXPECT_EQ(out.waitingWrites, 1);
  EXPECT_EQ(written, limit) << "everything up to the limit was buffered";
  std::vector<int> expected;
  for (int size = 16384; size <= limit; size *= 2)
    expected.push_back(size);
  EXPECT_EQ(out.bufSizes, expected);
  EXPECT_EQ(out.spaceAvailable(), 0);

  // Once the peer reads, everything comes out in order.
  out.allowance_ = SIZE_MAX;
  out.flush();
  EXPECT_EQ(out.taken.size(), static_cast<size_t>(limit));
  EXPECT_EQ(out.length(), limit);
}

TEST(BufferedOutStream, MaxOutBufferSizeHasASaneRange) {
  plat::ParameterSet& global = plat::ParameterSet::global();
  struct Case {
    const char* value;
    bool ok;
  } cases[] = {{"-1", false},         {"0", false},          {"16383", false},
               {"16384", true},       {"1073741824", true},  {"1073741825", false},
               {"2147483647", false}, {"-2147483648", false}};
  for (const Case& c : cases)
    EXPECT_EQ(global.setParam("MaxOutBufferSize", c.value, 50), c.ok) << c.value;
  global.find("MaxOutBufferSize")->unsetParam(50);
  EXPECT_EQ(rdr::BufferedOutStream::maxBufSize(), 4194304);
}

// The limit is read at each growth step; one that is not a power of two
// times the start size is reached exactly.
TEST(BufferedOutStream, GrowthStopsExactlyAtTheLimit) {
  plat::ParameterSet& global = plat::ParameterSet::global();
  ASSERT_TRUE(global.setParam("MaxOutBufferSize", "50000", 50));
  ScriptedOutStream out(0, 0);
  std::vector<char> block(50000, 'g');
  out.writeBytes(block.data(), static_cast<int>(block.size()));
  EXPECT_THROW(out.writeU8(1), plat::TimedOut);
  global.find("MaxOutBufferSize")->unsetParam(50);
  EXPECT_EQ(out.bufSizes, (std::vector<int>{16384, 32768, 50000}));
}

TEST(BufferedOutStream, PartialWriteOutsKeepTheByteOrder) {
  ScriptedOutStream out(16, 5);
  std::string text = "the quick brown fox jumps over the lazy dog";
  out.writeBytes(text.data(), static_cast<int>(text.size()));
  EXPECT_EQ(out.taken, "the q");
  EXPECT_EQ(out.length(), static_cast<std::int64_t>(text.size()));
  out.allowance_ = SIZE_MAX;
  out.flush();
  EXPECT_EQ(out.taken, text);
}

TEST(BufferedOutStream, NonWaitingFlushLeavesTheRestBuffered) {
  ScriptedOutStream out(0, 3);
  out.setNonWaiting(true);
  out.writeBytes("abcdef", 6);
  out.flush();
  EXPECT_EQ(out.taken, "abc");
  EXPECT_EQ(out.unsentBytes(), 3);
  EXPECT_FALSE(out.flushBuffer(false));
}

// Lengths are 64-bit: a long transfer passes 4 GiB.
TEST(BufferedOutStream, LengthPassesFourGigabytes) {
  class Sink : public rdr::BufferedOutStream {
  public:
    Sink() : rdr::BufferedOutStream(1 << 20) {}

  protected:
    int writeData(const std::uint8_t*, int length, bool) override { return length; }
  };
  Sink out;
  const std::int64_t target = (std::int64_t(1) << 32) + 7;
  while (out.length() < target) {
    int room = out.overrun(1, 1 << 20);
    int n = static_cast<int>(std::min<std::int64_t>(room, target - out.length()));
    out.setPtr(out.getptr() + n);
  }
  EXPECT_EQ(out.length(), target);
  out.flush();
  EXPECT_EQ(out.length(), target);
}

} // namespace
