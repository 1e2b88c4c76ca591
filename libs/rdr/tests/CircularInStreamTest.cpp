#include "rdr/CircularInStream.h"

#include "rdr/Exception.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string readN(rdr::InStream& in, int n) {
  std::string s;
  for (int i = 0; i < n; i++)
    s += char(in.readU8());
  return s;
}

TEST(CircularInStream, ReadsAcrossTheWrapThenOverflows) {
  rdr::CircularInStream in(8);
  in.addData("abcdef", 6);
  EXPECT_EQ(readN(in, 5), "abcde");
  in.checkpoint();
  in.addData("ghijklm", 7);
  EXPECT_EQ(readN(in, 8), "fghijklm");
  EXPECT_EQ(in.pos(), 13);
  try {
    in.addData("n", 1);
    FAIL();
  } catch (rdr::CircularInStream::Overflow& e) {
    EXPECT_STREQ(e.str(), "Overflow");
  }
  in.rewind();
  EXPECT_EQ(in.pos(), 5) << "nothing was added by the failed call";
  EXPECT_EQ(readN(in, 8), "fghijklm");
}

TEST(CircularInStream, RewindAfterTheReaderWrappedRestoresPosition) {
  rdr::CircularInStream in(8);
  in.addData("012345", 6);
  readN(in, 6);
  in.checkpoint();
  in.addData("6789", 4);
  EXPECT_EQ(in.readU32(), 0x36373839u) << "a value split by the wrap";
  EXPECT_THROW(in.readU8(), rdr::BlockException);
  EXPECT_EQ(in.pos(), 6);
  EXPECT_EQ(in.readU16(), 0x3637);
  in.checkpoint();
  in.addData("ABCDEF", 6); // frees the bytes behind the new checkpoint
  EXPECT_EQ(readN(in, 8), "89ABCDEF");
  EXPECT_EQ(in.pos(), 16);
}

TEST(CircularInStream, EndOfStreamAfterTheLastByte) {
  rdr::CircularInStream in(4);
  in.addData("z", 1);
  EXPECT_EQ(in.readU8(), 'z');
  in.checkpoint();
  EXPECT_FALSE(in.overrun(false, 1)) << "empty: would block";
  in.setEndOfStream();
  EXPECT_THROW(in.readU8(), rdr::EndOfStream);
}

// A long transfer goes round the ring many times; reading with checkpoints
// yields every byte once, in order.
TEST(CircularInStream, ManyLapsKeepTheOrder) {
  rdr::CircularInStream in(13);
  std::string sent, got;
  int next = 0;
  for (int round = 0; round < 500; round++) {
    std::string chunk;
    for (int i = 0; i < 1 + round % 7; i++)
      chunk += char('a' + next++ % 26);
    try {
      in.addData(chunk.data(), static_cast<int>(chunk.size()));
      sent += chunk;
    } catch (rdr::CircularInStream::Overflow&) {
      next -= static_cast<int>(chunk.size());
    }
    while (in.overrun(false, 1)) {
      got += char(in.readU8());
      in.checkpoint();
    }
  }
  EXPECT_EQ(got, sent);
  EXPECT_EQ(in.pos(), static_cast<std::int64_t>(sent.size()));
}

} // namespace
