#include "rfb/MsgWriter.h"

#include "rdr/MemOutStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Writes each message's type as one byte into memory.
class PlainWriter : public rfb::MsgWriter {
public:
  explicit PlainWriter(rdr::MemOutStream* out_) : rfb::MsgWriter(out_), out(out_) {}
  void startMsg(int type) override { out->writeU8(static_cast<std::uint8_t>(type)); }
  void endMsg() override { ended++; }
  rdr::MemOutStream* out;
  int ended = 0;
};

class SpaceStream : public rdr::MemOutStream {
public:
  int spaceAvailable() override { return space; }
  int space = 0;
};

TEST(MsgWriterTest, NamedMessagesCarryTypeAndName) {
  rdr::MemOutStream out;
  PlainWriter writer(&out);
  rdr::OutStream* body = writer.startNamedMsg("FileTransfer");
  EXPECT_EQ(body, &out);
  body->writeU8(0x42);
  writer.endMsg();
  std::string bytes(reinterpret_cast<const char*>(out.data()), out.length());
  EXPECT_EQ(bytes, std::string("\x12\x0c"
                               "FileTransfer\x42"));
}

TEST(MsgWriterTest, LongNamesAreSentAsTheirFirst255Bytes) {
  rdr::MemOutStream out;
  PlainWriter writer(&out);
  writer.startNamedMsg(std::string(300, 'n').c_str());
  EXPECT_EQ(out.length(), 2 + 255);
  EXPECT_EQ(out.data()[1], 255);
}

TEST(MsgWriterTest, NamedMessageSpaceLeavesRoomForTheHeaderAndNeverGoesNegative) {
  SpaceStream out;
  PlainWriter writer(&out);
  struct {
    int space, expected;
  } cases[] = {{1000, 1000 - 12 - 3}, {15, 0}, {16, 1}, {0, 0}};
  for (const auto& c : cases) {
    out.space = c.space;
    EXPECT_EQ(writer.namedMsgSpace("FileTransfer"), c.expected) << c.space;
  }
}

} // namespace
