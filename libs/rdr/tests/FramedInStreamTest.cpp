#include "rdr/FramedInStream.h"

#include "ScriptedStreams.h"
#include "rdr/Exception.h"
#include "rdr/InStreamV4.h"
#include "rdr/MemOutStream.h"
#include "rdr/OutStreamV4.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::ScriptedInStream;
using testing_support::ScriptedOutStream;

namespace {

std::string frame(const std::string& data, bool last) {
  int header = static_cast<int>(data.size()) | (last ? 0x8000 : 0);
  return std::string{char(header >> 8), char(header & 0xff)} + data;
}

std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++)
    s[i] = char(i * 13 + i / 256);
  return s;
}

// Written through a 16384-byte buffer, read back from a source that delivers
// one more byte at a time; every blocked read resumes where it stopped.
TEST(FramedInStream, LongMessageFedOneByteAtATimeReadsBack) {
  ScriptedOutStream wire(16384);
  const std::string body = pattern(40000);
  {
    rdr::OutStreamV4 out(&wire);
    out.startMsg();
    out.writeBytes(body.data(), static_cast<int>(body.size()));
    out.endMsg(true);
  }
  ScriptedInStream source;
  rdr::InStreamV4 in(&source);
  rdr::MemOutStream copy;
  int blocked = 0;
  bool done = false;
  for (size_t fed = 0; fed < wire.taken.size() && !done;) {
    source.feed(wire.taken.data() + fed, 1);
    fed++;
    try {
      in.startMsg();
      in.copyToEndOfMsg(&copy);
      in.endMsg();
      done = true;
    } catch (rdr::BlockException&) {
      blocked++;
    }
  }
  ASSERT_TRUE(done);
  EXPECT_GT(blocked, 40000);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.data()), copy.length()), body);
  EXPECT_EQ(in.pos(), 40000);
}

TEST(FramedInStream, ValuesSplitAcrossFramesReadCorrectly) {
  struct Case {
    const char* name;
    std::string wire;
  } cases[] = {
      {"2+2", frame("\x12\x34", false) + frame("\x56\x78", true)},
      {"1+3", frame("\x12", false) + frame("\x34\x56\x78", true)},
      {"empty frames between",
       frame("\x12\x34", false) + frame("", false) + frame("", false) + frame("\x56\x78", true)},
      {"empty closing frame", frame("\x12\x34\x56\x78", false) + frame("", true)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int chunk : {1, 3, 1 << 20}) {
      ScriptedInStream source(0, chunk);
      source.feed(c.wire);
      rdr::InStreamV4 in(&source);
      in.startMsg();
      EXPECT_EQ(in.readU32(), 0x12345678u);
      EXPECT_TRUE(in.atEndOfMsg());
      in.endMsg();
    }
  }
}

TEST(FramedInStream, ItemStraddlingAFrameIsGatheredIntoTheCallersBuffer) {
  ScriptedInStream source;
  source.feed(frame(std::string("\0\0\0\1\0\0", 6), false) + frame(std::string("\0\2", 2), true));
  rdr::InStreamV4 in(&source);
  in.startMsg();
  std::uint8_t buffer[4];
  int n = 10;
  const std::uint8_t* p = in.getItems(buffer, 4, &n);
  EXPECT_EQ(n, 1) << "one whole item in the first frame";
  EXPECT_NE(p, buffer);
  n = 10;
  p = in.getItems(buffer, 4, &n);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(p, buffer) << "only 2 bytes left in the frame";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), 4), std::string("\0\0\0\2", 4));
  in.endMsg();
}

TEST(FramedInStream, BlockedReadInAMessageRewindsToItsCheckpoint) {
  ScriptedInStream source;
  rdr::InStreamV4 in(&source);
  std::string wire = frame("\x01\x02\x03", false) + frame("\x04\x05\x06", true) + frame("", true);
  source.feed(wire.substr(0, 6));
  in.startMsg();
  EXPECT_EQ(in.readU8(), 1);
  in.checkpoint();
  EXPECT_THROW(in.readU32(), rdr::BlockException);
  EXPECT_EQ(in.pos(), 1);
  in.skip(2);
  EXPECT_FALSE(in.overrun(false, 1)) << "the second frame's header is not there yet";
  EXPECT_EQ(in.pos(), 1);
  source.feed(wire.substr(6));
  EXPECT_EQ(in.readU32(), 0x02030405u);
  EXPECT_EQ(in.readU8(), 6);
  EXPECT_THROW(in.readU8(), rdr::EndOfMsg);
  in.endMsg();
  in.startMsg();
  EXPECT_TRUE(in.atEndOfMsg()) << "the next message is empty";
  in.endMsg();
}

TEST(FramedInStream, EndMsgWithDataLeftThenSkip) {
  ScriptedInStream source;
  source.feed(frame("abcdef", true) + frame("g", true));
  rdr::InStreamV4 in(&source);
  in.startMsg();
  in.readU32();
  try {
    in.endMsg();
    FAIL();
  } catch (rdr::FrameException& e) {
    EXPECT_STREQ(e.str(), "FramedInStream::endMsg: data left in msg");
  }
  in.skipToEndOfMsg();
  in.endMsg();
  in.startMsg();
  EXPECT_EQ(in.readU8(), 'g');
  in.endMsg();
}

TEST(FramedInStream, HeaderAnnouncingMoreThan32766BytesIsRefused) {
  for (const char* header : {"\x7f\xff", "\xff\xff"}) {
    ScriptedInStream source;
    source.feed(header, 2);
    rdr::InStreamV4 in(&source);
    EXPECT_THROW(in.startMsg(), rdr::FrameException);
  }
  ScriptedInStream source;
  source.feed(frame("ab", false) + "\x7f\xff");
  rdr::InStreamV4 in(&source);
  in.startMsg();
  EXPECT_THROW(in.readU32(), rdr::FrameException) << "also for a later frame";
}

TEST(FramedInStream, TruncatedHeaderBlocksAndResumes) {
  ScriptedInStream source;
  rdr::InStreamV4 in(&source);
  source.feed("\x80", 1);
  EXPECT_THROW(in.startMsg(), rdr::BlockException);
  EXPECT_FALSE(in.inMessage());
  source.feed("\x02xy", 3);
  in.startMsg();
  EXPECT_EQ(in.readU16(), ('x' << 8) | 'y');
  in.endMsg();
}

// A source that reports the end of the stream once its bytes are used up.
class EndingInStream : public ScriptedInStream {
public:
  using ScriptedInStream::ScriptedInStream;

protected:
  int readData(std::uint8_t* buffer, int length) override {
    int n = ScriptedInStream::readData(buffer, length);
    if (n == 0)
      throw rdr::EndOfStream();
    return n;
  }
};

// A read that fails in the middle of a message, for whatever reason the
// underlying stream gives, leaves the framed stream at its checkpoint; the
// same read can be tried again and fails the same way.
TEST(FramedInStream, FailedReadInAMessageGoesBackToItsCheckpoint) {
  struct Case {
    const char* name;
    int bufSize;
    std::string wire;
    int readFirst; // bytes that read fine before the failing read
    const char* message;
  } cases[] = {
      {"later header announcing too much", 0, frame("ab", false) + "\x7f\xff", 1,
       "InStreamV4: frame header announces more than 32766 bytes"},
      {"end of stream after the source moved its bytes", 16,
       std::string("\x80\x14", 2) + pattern(14), 14, "End of stream"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EndingInStream source(c.bufSize);
    source.feed(c.wire);
    rdr::InStreamV4 in(&source);
    in.startMsg();
    for (int attempt = 0; attempt < 2; attempt++) {
      std::string got;
      for (int i = 0; i < c.readFirst; i++)
        got += char(in.readU8());
      EXPECT_EQ(got, c.wire.substr(2, c.readFirst));
      try {
        in.readU16();
        ADD_FAILURE() << "the read should fail";
      } catch (plat::Exception& e) {
        EXPECT_STREQ(e.str(), c.message);
      }
      EXPECT_EQ(in.pos(), 0) << "back at the checkpoint, attempt " << attempt;
    }
  }
}

} // namespace
