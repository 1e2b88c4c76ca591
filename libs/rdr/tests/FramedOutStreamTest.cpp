#include "rdr/FramedOutStream.h"

#include "ScriptedStreams.h"
#include "rdr/Exception.h"
#include "rdr/MemOutStream.h"
#include "rdr/OutStreamV4.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::ScriptedOutStream;

namespace {

struct Frame {
  int length;
  bool last;
  std::string data;
};

std::vector<Frame> parseFrames(const std::string& wire) {
  std::vector<Frame> frames;
  size_t i = 0;
  while (i + 2 <= wire.size()) {
    int header = (std::uint8_t(wire[i]) << 8) | std::uint8_t(wire[i + 1]);
    Frame f{header & 0x7fff, (header & 0x8000) != 0, wire.substr(i + 2, header & 0x7fff)};
    EXPECT_EQ(f.data.size(), size_t(f.length)) << "truncated frame";
    frames.push_back(f);
    i += 2 + f.length;
  }
  EXPECT_EQ(i, wire.size());
  return frames;
}

std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++)
    s[i] = char(i * 7 + i / 251);
  return s;
}

TEST(FramedOutStream, LongMessageIsCutWhereTheUnderlyingBufferEnds) {
  ScriptedOutStream wire(16384);
  rdr::OutStreamV4 out(&wire);
  const std::string body = pattern(40000);
  out.startMsg();
  out.writeBytes(body.data(), static_cast<int>(body.size()));
  out.endMsg(true);
  std::vector<Frame> frames = parseFrames(wire.taken);
  ASSERT_EQ(frames.size(), 3u);
  std::string joined;
  for (size_t i = 0; i < frames.size(); i++) {
    EXPECT_LE(frames[i].length, 16384 - 2);
    EXPECT_EQ(frames[i].last, i + 1 == frames.size());
    joined += frames[i].data;
  }
  EXPECT_EQ(joined, body);
}

TEST(FramedOutStream, FramesNeverExceed32766Bytes) {
  rdr::MemOutStream wire(200000);
  rdr::OutStreamV4 out(&wire);
  const std::string body = pattern(70000);
  out.startMsg();
  out.writeBytes(body.data(), static_cast<int>(body.size()));
  out.endMsg(false);
  std::vector<Frame> frames =
      parseFrames(std::string(reinterpret_cast<const char*>(wire.data()), wire.length()));
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].length, 32766);
  EXPECT_EQ(frames[1].length, 32766);
  EXPECT_EQ(frames[2].length, 70000 - 2 * 32766);
  EXPECT_TRUE(frames[2].last);
}

TEST(FramedOutStream, EmptyMessageIsOneLastHeader) {
  rdr::MemOutStream wire;
  rdr::OutStreamV4 out(&wire);
  out.startMsg();
  out.endMsg(true);
  ASSERT_EQ(wire.length(), 2);
  EXPECT_EQ(wire.data()[0], 0x80);
  EXPECT_EQ(wire.data()[1], 0x00);
}

TEST(FramedOutStream, FlushClosesTheFrameAndGoesOnInTheSameMessage) {
  ScriptedOutStream wire;
  rdr::OutStreamV4 out(&wire);
  out.startMsg();
  out.writeU32(0x01020304);
  out.flush();
  EXPECT_EQ(wire.taken, std::string("\x00\x04\x01\x02\x03\x04", 6));
  out.writeU8(5);
  out.endMsg(true);
  EXPECT_EQ(wire.taken.substr(6), std::string("\x80\x01\x05", 3));
  EXPECT_EQ(out.length(), 9);
}

TEST(FramedOutStream, MisuseIsRefused) {
  struct Case {
    const char* message;
    void (*action)(rdr::OutStreamV4&, rdr::MemOutStream&);
  } cases[] = {
      {"FramedOutStream::startFrame: unfinished frame",
       [](rdr::OutStreamV4& o, rdr::MemOutStream&) {
         o.startMsg();
         o.startMsg();
       }},
      {"FramedOutStream::endMsg: not in frame",
       [](rdr::OutStreamV4& o, rdr::MemOutStream&) { o.endMsg(false); }},
      {"FramedOutStream::endFrame: not in frame",
       [](rdr::OutStreamV4& o, rdr::MemOutStream&) { o.writeU8(1); }},
      {"FramedOutStream::setUnderlying: unfinished frame",
       [](rdr::OutStreamV4& o, rdr::MemOutStream& other) {
         o.startMsg();
         o.setUnderlying(&other);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    rdr::MemOutStream wire, other;
    rdr::OutStreamV4 out(&wire);
    try {
      c.action(out, other);
      ADD_FAILURE() << "no exception";
    } catch (rdr::FrameException& e) {
      EXPECT_STREQ(e.str(), c.message);
    }
    if (wire.length() > 0 || out.getptr() != wire.getptr())
      out.endMsg(false); // close the open frame before the stream goes
  }
}

} // namespace
