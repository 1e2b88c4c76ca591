#include "rdr/FramedOutStream.h"

#include "ScriptedStreams.h"
#include "rdr/Exception.h"
#include "rdr/FdOutStream.h"
#include "rdr/MemOutStream.h"
#include "rdr/OutStreamV4.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
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

// A descriptor stream served by the descriptor manager does not wait: a flush
// in the middle of a message may leave bytes unsent, and the manager writes
// them out later, which moves the underlying buffer's pointer back to its
// start while a frame is open. The open frame must follow it.
TEST(FramedOutStream, OpenFrameFollowsABackgroundWriteOut) {
  struct Case {
    const char* name;
    size_t acceptedAtFlush;
    bool backgroundWriteOut;
  } cases[] = {
      {"partial flush, then write-out", 3, true},
      {"nothing accepted, then write-out", 0, true},
      {"whole flush accepted", SIZE_MAX, false},
      {"partial flush, no write-out", 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedOutStream wire(0, c.acceptedAtFlush);
    wire.setNonWaiting(true);
    rdr::OutStreamV4 out(&wire);
    const std::string first = pattern(10), second = "ABCDE";
    out.startMsg();
    out.writeBytes(first.data(), static_cast<int>(first.size()));
    out.flush();
    wire.allowance_ = SIZE_MAX;
    if (c.backgroundWriteOut) {
      EXPECT_TRUE(wire.flushBuffer(false));
    }
    out.writeBytes(second.data(), static_cast<int>(second.size()));
    EXPECT_EQ(out.length(), 19);
    out.endMsg(true);
    EXPECT_EQ(wire.taken.size(), 19u);
    std::vector<Frame> frames = parseFrames(wire.taken);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].data, first);
    EXPECT_FALSE(frames[0].last);
    EXPECT_EQ(frames[1].data, second);
    EXPECT_TRUE(frames[1].last);
    EXPECT_EQ(out.length(), 19);
  }
}

// A bulk stream asks for a whole frame's room, so the underlying buffer grows
// and every frame but the last is full, whatever the buffer started with.
TEST(FramedOutStream, BulkStreamFillsWholeFrames) {
  struct Case {
    int bufSize;
    bool bulk;
    int firstFrame;
  } cases[] = {
      {16384, false, 16384 - 2},
      {16384, true, 32766},
      {rdr::FramedOutStream::bulkBufferSize, true, 32766},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bufSize << (c.bulk ? " bulk" : ""));
    ScriptedOutStream wire(c.bufSize);
    rdr::OutStreamV4 out(&wire, c.bulk);
    EXPECT_EQ(out.isBulk(), c.bulk);
    const std::string body = pattern(100000);
    out.startMsg();
    for (size_t i = 0; i < body.size(); i += 1000)
      out.writeBytes(body.data() + i, 1000);
    out.endMsg(true);
    std::vector<Frame> frames = parseFrames(wire.taken);
    ASSERT_GE(frames.size(), 2u);
    std::string joined;
    for (size_t i = 0; i < frames.size(); i++) {
      if (i + 1 < frames.size()) {
        EXPECT_EQ(frames[i].length, c.firstFrame) << "frame " << i;
      }
      joined += frames[i].data;
    }
    EXPECT_EQ(joined, body);
    if (c.bulk) {
      EXPECT_GE(wire.getBufSize(), 32768);
    }
  }
}

} // namespace

namespace {

// Writes a message of a small prefix (maybe none) and one long block through
// a bulk stream over `wire`.
void writeBulkMessage(rdr::OutStreamV4& out, const std::string& prefix, const std::string& block) {
  out.startMsg();
  out.writeBytes(prefix.data(), static_cast<int>(prefix.size()));
  out.writeBytes(block.data(), static_cast<int>(block.size()));
  out.endMsg(false);
}

// The frames a bulk stream makes when every byte goes through the buffer.
std::string copiedWire(const std::string& prefix, const std::string& block, int messages) {
  ScriptedOutStream wire(rdr::FramedOutStream::bulkBufferSize);
  rdr::OutStreamV4 out(&wire, true);
  const std::string all = prefix + block;
  for (int m = 0; m < messages; m++) {
    out.startMsg();
    for (size_t i = 0; i < all.size(); i += 1000)
      out.writeBytes(all.data() + i, static_cast<int>(std::min<size_t>(1000, all.size() - i)));
    out.endMsg(false);
  }
  wire.flush();
  return wire.taken;
}

struct LongBlock {
  size_t prefix;
  size_t block;
};

const LongBlock longBlocks[] = {
    {0, 32767}, {0, 65532}, {0, 65533}, {0, 131072}, {4, 131072}, {32766, 40000}, {0, 2000000},
};

} // namespace

// A long block goes straight from the caller's memory to the destination,
// and the wire is the same as when every byte is copied into the buffer.
TEST(FramedOutStream, LongBlockOfABulkStreamMakesTheSameFrames) {
  for (const LongBlock& c : longBlocks) {
    SCOPED_TRACE(testing::Message() << c.prefix << " + " << c.block);
    const std::string prefix = pattern(c.prefix), block = pattern(c.block + 3).substr(3);
    const std::string expected = copiedWire(prefix, block, 3);
    ScriptedOutStream wire(rdr::FramedOutStream::bulkBufferSize);
    rdr::OutStreamV4 out(&wire, true);
    for (int m = 0; m < 3; m++)
      writeBulkMessage(out, prefix, block);
    EXPECT_EQ(out.length(), static_cast<std::int64_t>(expected.size()));
    wire.flush();
    ASSERT_EQ(wire.taken.size(), expected.size());
    EXPECT_TRUE(wire.taken == expected);
  }
}

// Over a socket, the whole frames and the bytes buffered before them go in
// one gathering write; in non-waiting mode what the peer does not take is
// buffered and follows on the next flush.
TEST(FramedOutStream, LongBlockOfABulkStreamOverASocket) {
  for (bool nonWaiting : {false, true}) {
    for (const LongBlock& c : longBlocks) {
      SCOPED_TRACE(testing::Message()
                   << c.prefix << " + " << c.block << (nonWaiting ? " non-waiting" : ""));
      const std::string prefix = pattern(c.prefix), block = pattern(c.block);
      const std::string expected = copiedWire(prefix, block, 2);
      int fds[2];
      ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
      std::string got;
      std::thread reader([&] {
        char buf[65536];
        ssize_t n;
        while ((n = read(fds[1], buf, sizeof buf)) > 0)
          got.append(buf, n);
      });
      {
        if (nonWaiting)
          fcntl(fds[0], F_SETFL, O_NONBLOCK);
        rdr::FdOutStream fdOut(fds[0], -1, rdr::FramedOutStream::bulkBufferSize);
        fdOut.setNonWaiting(nonWaiting);
        rdr::OutStreamV4 out(&fdOut, true);
        for (int m = 0; m < 2; m++)
          writeBulkMessage(out, prefix, block);
        EXPECT_EQ(out.length(), static_cast<std::int64_t>(expected.size()));
        while (!fdOut.flushBuffer(false))
          std::this_thread::yield();
      }
      close(fds[0]);
      reader.join();
      close(fds[1]);
      ASSERT_EQ(got.size(), expected.size());
      EXPECT_TRUE(got == expected);
    }
  }
}
