#include "zavkeygen/HexOutStream.h"

#include "rdr/MemOutStream.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A destination with a small buffer that records everything written out.
class RecordingOutStream : public rdr::BufferedOutStream {
public:
  explicit RecordingOutStream(int bufSize) : rdr::BufferedOutStream(bufSize) {}
  ~RecordingOutStream() override { flush(); }
  std::string text;
  int writes = 0;

protected:
  int writeData(const std::uint8_t* data, int length, bool) override {
    text.append(reinterpret_cast<const char*>(data), length);
    writes++;
    return length;
  }
};

TEST(HexOutStream, LowerCaseHighNibbleFirstAfterFlush) {
  rdr::MemOutStream mem;
  rdr::HexOutStream hex(mem);
  const std::uint8_t bytes[] = {0x00, 0xab, 0xff};
  hex.writeBytes(bytes, 3);
  EXPECT_EQ(mem.length(), 0) << "nothing reaches the destination before a flush";
  hex.flush();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(mem.data()), mem.length()), "00abff");
}

TEST(HexOutStream, MoreTextThanTheDestinationBufferHoldsFollowsInPieces) {
  RecordingOutStream sink(16);
  std::string expected;
  {
    rdr::HexOutStream hex(sink);
    for (int i = 0; i < 1000; i++) {
      hex.writeU8(static_cast<std::uint8_t>(i * 37));
      char pair[3];
      snprintf(pair, sizeof(pair), "%02x", (i * 37) & 0xff);
      expected += pair;
    }
    hex.flush();
  }
  EXPECT_EQ(sink.text, expected);
  EXPECT_GT(sink.writes, 1);
}

TEST(HexOutStream, DestroyedWithoutFlushWritesNothing) {
  rdr::MemOutStream mem;
  {
    rdr::HexOutStream hex(mem);
    hex.writeU32(0xdeadbeef);
  }
  EXPECT_EQ(mem.length(), 0);
}

} // namespace
