#include "rfb/MsgWriter.h"
#include "rfb/MsgHandler.h"
#include "rfb/ProtocolError.h"

#include "rdr/Exception.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Frames each message as its type byte only, the way the simplest
// connection would.
class PlainWriter : public rfb::MsgWriter {
public:
  PlainWriter(rfb::ProtocolParams* cp, rdr::OutStream* os) : MsgWriter(cp, os) {}
  void startMsg(int type) override { os_->writeU8(uint8_t(type)); }
  void endMsg() override { os_->flush(); }
};

class Connection : public rfb::MsgHandler {
public:
  Connection() : writer(&cp_, &os) {}
  rfb::MsgWriter* getWriter() override { return &writer; }
  rdr::MemOutStream os;
  PlainWriter writer;
};

// A stream with room for eight more bytes.
class NearlyFull : public rdr::OutStream {
public:
  std::int64_t length() override { return 0; }
  int spaceAvailable() override { return 8; }
  int overrun(int, int) override { throw rdr::OutStreamFull(); }
};

std::string readText(rdr::InStream& is) {
  int n = is.readU8();
  std::string s(size_t(n), '\0');
  is.readBytes(&s[0], n);
  return s;
}

} // namespace

TEST(MsgWriter, MessagesSeventeenToTwentyRoundTrip) {
  Connection c;
  rfb::MsgWriter* w = c.getWriter();
  w->writeNameFlag("files", 1);
  rdr::OutStream* body = w->startNamedMsg("chunk");
  body->writeU16(0xBEEF);
  w->endMsg();
  w->writeTextFlag("hello", 0);
  w->writeValueFlag(0xDEADBEEF, 7);

  rdr::MemInStream is(c.os.data(), int(c.os.length()));
  EXPECT_EQ(is.readU8(), 17);
  EXPECT_EQ(readText(is), "files");
  EXPECT_EQ(is.readU8(), 1);
  EXPECT_EQ(is.readU8(), 18);
  EXPECT_EQ(readText(is), "chunk");
  EXPECT_EQ(is.readU16(), 0xBEEF);
  EXPECT_EQ(is.readU8(), 19);
  EXPECT_EQ(readText(is), "hello");
  EXPECT_EQ(is.readU8(), 0);
  EXPECT_EQ(is.readU8(), 20);
  EXPECT_EQ(is.readU32(), 0xDEADBEEFu);
  EXPECT_EQ(is.readU8(), 7);
  EXPECT_EQ(is.avail(), 0);
}

TEST(MsgWriter, LongTextIsCutTo255Bytes) {
  Connection c;
  std::string name(300, 'n');
  c.getWriter()->writeTextFlag(name.c_str(), 1);
  rdr::MemInStream is(c.os.data(), int(c.os.length()));
  EXPECT_EQ(is.readU8(), 19);
  EXPECT_EQ(readText(is), name.substr(0, 255));
  EXPECT_EQ(is.readU8(), 1);
  EXPECT_EQ(is.avail(), 0);
}

TEST(MsgWriter, NamedMessageSpaceLeavesRoomForTheHeader) {
  Connection c;
  int space = c.os.spaceAvailable();
  EXPECT_EQ(c.getWriter()->namedMsgSpace("abcd"), space - 4 - 3);
  // A name is sent as at most 255 bytes.
  EXPECT_EQ(c.getWriter()->namedMsgSpace(std::string(300, 'x').c_str()), space - 255 - 3);
  // A stream that cannot take the header leaves no space.
  NearlyFull full;
  PlainWriter w(&c.params(), &full);
  EXPECT_EQ(w.namedMsgSpace("ab"), 3);
  EXPECT_EQ(w.namedMsgSpace("abcdef"), 0);
}

TEST(MsgHandler, ExtensionsAreKeptInByteOrder) {
  Connection c;
  c.setExtension("b", true);
  c.setExtension("B", true);
  c.setExtension("a", true);
  c.setExtension("a", true);
  EXPECT_EQ(
      std::vector<std::string>(c.params().extensions().begin(), c.params().extensions().end()),
      (std::vector<std::string>{"B", "a", "b"}));
  c.setExtension("a", false);
  c.setExtension("zzz", false);
  EXPECT_EQ(c.params().extensions().size(), 2u);
}

TEST(MsgHandler, ClosedConnectionThrowsTextAndCode) {
  Connection c;
  std::string text(300, 'r');
  try {
    c.connectionClosed(text.c_str(), 42);
    FAIL() << "no exception";
  } catch (const rfb::ConnCloseException& e) {
    EXPECT_EQ(std::string(e.str()), text.substr(0, 255));
    EXPECT_EQ(e.code(), 42);
  }
}
