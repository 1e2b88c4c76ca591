#include "rdr/RandomStream.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(RandomStream, DeliversDifferentValues) {
  rdr::RandomStream rs;
  std::set<std::uint32_t> seen;
  for (int i = 0; i < 64; i++)
    seen.insert(rs.readU32());
  EXPECT_GT(seen.size(), 60u);
  char block[100];
  rs.readBytes(block, sizeof block); // more than the 8-byte buffer at once
}

TEST(RandomStream, CannotRewind) {
  rdr::RandomStream rs;
  rs.readU8();
  try {
    rs.rewind();
    FAIL();
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Attempt to rewind a non-rewindable stream");
  }
}

// Without a system random source there is no guessable substitute.
TEST(RandomStream, NoSystemSourceIsAnError) {
  const char* const missing[] = {"/nonexistent/urandom", "/nonexistent/random", nullptr};
  try {
    rdr::RandomStream rs(missing);
    FAIL();
  } catch (plat::SystemException& e) {
    EXPECT_EQ(e.getErrno(), ENOENT);
    EXPECT_NE(std::string(e.str()).find("no system random source"), std::string::npos);
  }
}

} // namespace
