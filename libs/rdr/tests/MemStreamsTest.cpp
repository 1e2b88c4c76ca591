#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include "rdr/Exception.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(MemInStream, ReadsTheBlockThenEnds) {
  const char bytes[] = "\x00\x01\x02";
  rdr::MemInStream in(bytes, 3);
  EXPECT_EQ(in.readU16(), 1);
  EXPECT_EQ(in.pos(), 2);
  EXPECT_THROW(in.readU16(), rdr::EndOfStream);
  EXPECT_EQ(in.readU8(), 2) << "a failed read leaves the stream where it was";
  try {
    in.readU8();
    FAIL();
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "End of stream");
  }
}

TEST(MemInStream, FreesAnOwnedBlock) {
  std::uint8_t* block = new std::uint8_t[4]{0, 0, 0, 9};
  rdr::MemInStream in(block, 4, true);
  EXPECT_EQ(in.readU32(), 9u);
}

TEST(MemOutStream, LimitAllowsExactlyItsSize) {
  rdr::MemOutStream out(16, 100);
  char block[100];
  std::memset(block, 'm', sizeof block);
  out.writeBytes(block, 100);
  EXPECT_EQ(out.length(), 100);
  try {
    out.writeU8(1);
    FAIL();
  } catch (rdr::OutStreamFull& e) {
    EXPECT_STREQ(e.str(), "OutStream full");
  }
  EXPECT_EQ(out.length(), 100) << "what was written stays";
  EXPECT_EQ(out.data()[99], 'm');
}

TEST(MemOutStream, GrowsByDoublingOrToTheNeed) {
  rdr::MemOutStream out;
  EXPECT_EQ(out.getSize(), 1024);
  char block[5000] = {};
  out.writeBytes(block, 1024);
  EXPECT_EQ(out.getSize(), 1024);
  out.writeU8(1);
  EXPECT_EQ(out.getSize(), 2048);
  out.writeBytes(block, 5000);
  EXPECT_EQ(out.getSize(), 1025 + 5000) << "more than double: exactly the need";
  EXPECT_EQ(out.length(), 6025);
  EXPECT_EQ(out.data()[1024], 1);
}

} // namespace
