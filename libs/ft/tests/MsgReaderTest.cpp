#include "ft/MsgReader.h"

#include "CaptureLogger.h"
#include "FramedConnection.h"
#include "RecordingExtension.h"
#include "ThrownMessage.h"
#include "rdr/Exception.h"

#include <gtest/gtest.h>
#include <zlib.h>

using ft_test::Bytes;
using ft_test::RecordingExtension;
using testing_support::frame;
using testing_support::FramedConnection;
using testing_support::FramedPump;

namespace {

using Raw = std::vector<std::uint8_t>;

// A deflate stream run across messages, as a sending peer keeps one.
class Deflater {
public:
  // Without a header, the stream goes on from where another left off (raw
  // deflate data, referring back only to its own bytes).
  explicit Deflater(bool withHeader = true) {
    deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, withHeader ? 15 : -15, 8,
                 Z_DEFAULT_STRATEGY);
  }
  ~Deflater() { deflateEnd(&zs); }
  std::vector<std::uint8_t> chunk(const std::string& data) {
    std::vector<std::uint8_t> out(data.size() + 64);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_SYNC_FLUSH);
    out.resize(out.size() - zs.avail_out);
    return out;
  }

private:
  z_stream zs = z_stream();
};

class MsgReaderTest : public ::testing::Test {
protected:
  void SetUp() override { ext.addConnection(&conn); }
  void TearDown() override { ext.removeConnection(&conn); }

  int feed(const std::vector<std::uint8_t>& bytes) {
    pump.in.feed(bytes);
    return pump.run(&ext, &conn);
  }
  int feedMsg(const Bytes& body) { return feed(frame(body.b)); }
  // The failure text of the message, or "<no exception>".
  std::string failure(const Bytes& body) {
    return testing_support::thrownMessage([&] { feedMsg(body); });
  }

  RecordingExtension ext;
  FramedConnection conn;
  FramedPump pump;
};

struct GoldenCase {
  const char* what;
  Bytes body;
  std::vector<std::string> calls;
};

std::vector<GoldenCase> goldenCases() {
  const std::string all = "18446744073709551615";
  return {
      {"ShareCtrl advertise with flags", Bytes().u32(1).u32(7).u8(0).u32(1), {"ShareCtrl 7 0 1"}},
      {"ShareCtrl of 9 bytes has flags 0", Bytes().u32(1).u32(7).u8(1), {"ShareCtrl 7 1 0"}},
      {"ShareCtrl with a cut flags field",
       Bytes().u32(1).u32(7).u8(0).u8(0xFF),
       {"ShareCtrl 7 0 0"}},
      {"ShareCtrl with trailing bytes",
       Bytes().u32(1).u32(7).u8(0).u32(2).u32(99),
       {"ShareCtrl 7 0 2"}},
      {"ShareReq", Bytes().u32(2).u32(7).str("d/e").u32(3), {"ShareReq 7 'd/e' 3"}},
      {"ShareReq of 8 bytes", Bytes().u32(2).u32(7), {"ShareReq 7 '' 0"}},
      {"ShareReq without depth", Bytes().u32(2).u32(7).str("d"), {"ShareReq 7 'd' 0"}},
      {"ShareData of 0 entries ends the listing", Bytes().u32(3).u32(7).u32(0), {"ShareEOF 7"}},
      {"ShareData of 2 entries",
       Bytes().u32(3).u32(7).u32(2).entry("d", 1, 0).entry("d/a", 0, 5),
       {"ShareEntry 7 d 1 0 attrs=0", "ShareEntry 7 d/a 0 5 attrs=0"}},
      {"ShareData entry with attributes",
       Bytes()
           .u32(3)
           .u32(7)
           .u32(1)
           .str("f")
           .u64(9)
           .u64(1)
           .u64(2)
           .u64(3)
           .u32(4)
           .u32(2)
           .u8(4)
           .raw("UNIX")
           .u32(2)
           .u16(0100644)
           .u8(1)
           .raw("X")
           .u32(0),
       {"ShareEntry 7 f 4 9 attrs=2"}},
      {"FileReq",
       Bytes().u32(4).str("d/a").u32(7).u32(2).u64(1000).u64(10).u64(20).u8(1),
       {"FileReq d/a (7,2) 1000 10 20 1"}},
      {"FileReq that stops after the window",
       Bytes().u32(4).str("a").u32(7).u32(2).u64(1000),
       {"FileReq a (7,2) 1000 0 " + all + " 0"}},
      {"FileReq that stops after start",
       Bytes().u32(4).str("a").u32(7).u32(2).u64(5).u64(3),
       {"FileReq a (7,2) 5 3 " + all + " 0"}},
      {"FileReq with trailing bytes",
       Bytes().u32(4).str("a").u32(7).u32(2).u64(5).u64(0).u64(9).u8(0).u32(77),
       {"FileReq a (7,2) 5 0 9 0"}},
      {"ByteLimit",
       Bytes().u32(5).u32(7).u32(2).u64(0x100000000ull),
       {"ByteLimit (7,2) 4294967296"}},
      {"FileData", Bytes().u32(6).u32(7).u32(2).u16(5).raw("hello"), {"FileData (7,2) hello"}},
      {"FileData of length 0 ends the file",
       Bytes().u32(6).u32(7).u32(2).u16(0),
       {"FileEOF (7,2)"}},
      {"FileError", Bytes().u32(7).u32(7).u32(2).str("disk full"), {"FileError (7,2) 'disk full'"}},
      {"FileError with an empty text",
       Bytes().u32(7).u32(7).u32(2).str(""),
       {"FileError (7,2) ''"}},
      {"FileAbort", Bytes().u32(8).u32(7).u32(2), {"FileAbort (7,2)"}},
      {"ShareRelease", Bytes().u32(9).u32(7), {"ShareRelease 7"}},
      {"ShareRelease with trailing bytes", Bytes().u32(9).u32(7).u8(1), {"ShareRelease 7"}},
      // Compressed data runs on the connection's one inflate stream, so these
      // three come in this order. Each payload ends with the empty stored
      // block of a sync flush (bits 000, padding, 00 00 FF FF).
      // The first on the stream: the zlib header 78 9C, then a block of
      // fixed codes (BFINAL 0, BTYPE 01) with the literals "hello" (codes
      // 0x30 + byte, 8 bits each) and the end of block (7 zero bits).
      {"CompressedFileData, first on the stream",
       Bytes().u32(10).u32(7).u32(4).u16(13).raw(
           Raw{0x78, 0x9C, 0xCA, 0x48, 0xCD, 0xC9, 0xC9, 0x07, 0x00, 0x00, 0x00, 0xFF, 0xFF}),
       {"FileData (7,4) hello"}},
      // A stored block: header byte 00, LEN 5 and NLEN (little-endian), the
      // bytes as they are.
      {"CompressedFileData of a stored block, with trailing bytes",
       Bytes()
           .u32(10)
           .u32(7)
           .u32(5)
           .u16(10)
           .raw(Raw{0x00, 0x05, 0x00, 0xFA, 0xFF, 'w', 'o', 'r', 'l', 'd'})
           .u32(99),
       {"FileData (7,5) world"}},
      // Fixed codes again with one copy: length 5 (code 259), distance 10
      // (code 6, extra bits 01) reaches back into the first message's
      // "hello", which only the inflate stream kept across messages holds.
      {"CompressedFileData copying from an earlier message",
       Bytes().u32(10).u32(7).u32(6).u16(8).raw(
           Raw{0x02, 0xB3, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF}),
       {"FileData (7,6) hello"}},
  };
}

TEST_F(MsgReaderTest, GoldenMessagesGiveTheirHandlerCalls) {
  for (const GoldenCase& c : goldenCases()) {
    ext.calls.clear();
    EXPECT_EQ(feedMsg(c.body), 1) << c.what;
    EXPECT_EQ(ext.calls, c.calls) << c.what;
  }
}

TEST_F(MsgReaderTest, MissingOptionalFieldsAreNoticed) {
  testing_support::ScopedCapture log("FTMsgReader", 10);
  feedMsg(Bytes().u32(2).u32(7));
  feedMsg(Bytes().u32(4).str("a").u32(7).u32(2).u64(1000));
  EXPECT_TRUE(log.logger.contains("Using defaults for relName/depth"));
  EXPECT_TRUE(log.logger.contains("Using defaults for start/end/flags"));
}

Bytes compressedMsg(std::uint32_t fileId, const std::vector<std::uint8_t>& payload) {
  return Bytes()
      .u32(10)
      .u32(7)
      .u32(fileId)
      .u16(static_cast<std::uint16_t>(payload.size()))
      .raw(payload);
}

TEST_F(MsgReaderTest, CompressedDataOfTwoFilesInflatesWithOneStream) {
  Deflater d;
  Bytes first = compressedMsg(1, d.chunk("first file, first file, first file"));
  Bytes second = compressedMsg(2, d.chunk("second file, first file, second file"));
  feedMsg(first);
  feedMsg(second);
  EXPECT_EQ(ext.calls,
            (std::vector<std::string>{"FileData (7,1) first file, first file, first file",
                                      "FileData (7,2) second file, first file, second file"}));

  // A fresh inflate stream cannot read the second message on its own.
  RecordingExtension other;
  FramedConnection otherConn;
  FramedPump otherPump;
  other.addConnection(&otherConn);
  otherPump.in.feed(frame(second.b));
  EXPECT_EQ(testing_support::thrownMessage([&] { otherPump.run(&other, &otherConn); }),
            "ft::MsgReader: inflate failed: -3");
  other.removeConnection(&otherConn);
}

TEST_F(MsgReaderTest, CompressedMessageInPiecesIsHandedOnWhenComplete) {
  Deflater d;
  std::vector<std::uint8_t> bytes =
      frame(compressedMsg(1, d.chunk(std::string(3000, 'x') + "end")).b);
  size_t half = bytes.size() / 2;
  EXPECT_EQ(feed(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + half)), 0);
  EXPECT_EQ(ext.dataCalls, 0);
  EXPECT_EQ(feed(std::vector<std::uint8_t>(bytes.begin() + half, bytes.end())), 1);
  EXPECT_EQ(ext.calls,
            std::vector<std::string>{"FileData (7,1) " + std::string(3000, 'x') + "end"});
}

TEST_F(MsgReaderTest, FileDataArrivingInThreeReadsGivesThreeCalls) {
  std::string data(5000, 'q');
  std::vector<std::uint8_t> bytes = frame(Bytes().u32(6).u32(7).u32(1).u16(5000).raw(data).b);
  EXPECT_EQ(feed(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 1000)), 0);
  EXPECT_EQ(feed(std::vector<std::uint8_t>(bytes.begin() + 1000, bytes.begin() + 3000)), 0);
  EXPECT_EQ(feed(std::vector<std::uint8_t>(bytes.begin() + 3000, bytes.end())), 1);
  EXPECT_EQ(ext.dataCalls, 3);
  EXPECT_EQ(ext.calls, std::vector<std::string>{"FileData (7,1) " + data});
}

TEST_F(MsgReaderTest, FeedingOneByteAtATimeGivesTheSameCallsAsWhole) {
  std::vector<std::uint8_t> stream;
  std::vector<std::string> expected;
  // The golden messages have started the inflate stream: this one goes on
  // from them.
  Deflater d(false);
  std::vector<GoldenCase> cases = goldenCases();
  cases.push_back({"compressed",
                   compressedMsg(3, d.chunk("squeezed squeezed squeezed")),
                   {"FileData (7,3) squeezed squeezed squeezed"}});
  for (const GoldenCase& c : cases) {
    std::vector<std::uint8_t> f = frame(c.body.b);
    stream.insert(stream.end(), f.begin(), f.end());
    expected.insert(expected.end(), c.calls.begin(), c.calls.end());
  }
  // A message split over several frames, too.
  Bytes split = Bytes().u32(7).u32(7).u32(9).str("split over frames");
  stream.push_back(0x00);
  stream.push_back(0x05);
  stream.insert(stream.end(), split.b.begin(), split.b.begin() + 5);
  std::vector<std::uint8_t> rest(split.b.begin() + 5, split.b.end());
  std::vector<std::uint8_t> f = frame(rest);
  stream.insert(stream.end(), f.begin(), f.end());
  expected.push_back("FileError (7,9) 'split over frames'");

  int handled = 0;
  for (std::uint8_t byte : stream)
    handled += feed({byte});
  EXPECT_EQ(handled, static_cast<int>(cases.size()) + 1);
  EXPECT_EQ(ext.calls, expected);

  RecordingExtension whole;
  FramedConnection wholeConn;
  FramedPump wholePump;
  whole.addConnection(&wholeConn);
  wholePump.in.feed(stream);
  EXPECT_EQ(wholePump.run(&whole, &wholeConn), handled);
  EXPECT_EQ(whole.calls, expected);
  whole.removeConnection(&wholeConn);
}

TEST_F(MsgReaderTest, BadMessagesFailWithTheirReason) {
  struct Case {
    const char* what;
    Bytes body;
    std::string message;
  } cases[] = {
      {"type 0", Bytes().u32(0).u32(7), "Unexpected PDU type: 0"},
      {"type 11", Bytes().u32(11).u32(7), "Unexpected PDU type: 11"},
      {"path over 1024 bytes", Bytes().u32(2).u32(7).str(std::string(1025, 'a')),
       "String exceeds maximum length"},
      {"huge string length", Bytes().u32(7).u32(7).u32(1).u32(0xFFFFFFFF),
       "String exceeds maximum length"},
      {"ByteLimit cut short", Bytes().u32(5).u32(7).u32(2).u32(0), "End of message"},
      {"FileData shorter than its length", Bytes().u32(6).u32(7).u32(2).u16(10).raw("abc"),
       "End of message"},
      {"entry named ..", Bytes().u32(3).u32(7).u32(1).entry("d/..", 0, 1),
       "Filename cannot be . or .."},
      {"entry with an empty component", Bytes().u32(3).u32(7).u32(1).entry("d//a", 0, 1),
       "Filename cannot contain empty path components"},
      {"entry not UTF-8", Bytes().u32(3).u32(7).u32(1).entry("d/\xff", 0, 1),
       "Invalid UTF-8 filename"},
      {"entry with a NUL", Bytes().u32(3).u32(7).u32(1).entry(std::string("ok\0/../x", 8), 0, 1),
       "Invalid UTF-8 filename"},
      {"attribute data of 4 GB",
       Bytes()
           .u32(3)
           .u32(7)
           .u32(1)
           .str("f")
           .u64(0)
           .u64(0)
           .u64(0)
           .u64(0)
           .u32(0)
           .u32(1)
           .u8(1)
           .raw("A")
           .u32(0xFFFFFFFF),
       "Attribute data too long"},
      {"garbage compressed data", Bytes().u32(10).u32(7).u32(1).u16(4).u32(0xFFFFFFFF),
       "ft::MsgReader: inflate failed: -3"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(failure(c.body), c.message) << c.what;
    // The failed message is dropped and the next one is read from its header.
    pump.framed.skipToEndOfMsg();
    pump.framed.endMsg();
    pump.state = 0;
    ext.calls.clear();
    ext.addConnection(&conn); // a fresh reader: the inflate stream may be broken
    EXPECT_EQ(feedMsg(Bytes().u32(9).u32(1)), 1) << c.what;
    EXPECT_EQ(ext.calls, std::vector<std::string>{"ShareRelease 1"}) << c.what;
  }
}

TEST_F(MsgReaderTest, ZeroLengthCompressedDataIsAFailedCheck) {
  std::string m = failure(Bytes().u32(10).u32(7).u32(1).u16(0));
  EXPECT_EQ(m.rfind("Assertion 'dataLenPending != 0' failed at MsgReader.cpp:", 0), 0u) << m;
}

TEST_F(MsgReaderTest, OneCompressedMessageCannotInflateBeyondItsBound) {
  Deflater d;
  std::vector<std::uint8_t> bomb = d.chunk(std::string(4 * 1024 * 1024, '\0'));
  ASSERT_LT(bomb.size(), 65535u);
  EXPECT_EQ(failure(compressedMsg(1, bomb)),
            "ft::MsgReader: compressed data inflates beyond 65535 bytes");
  // What was handed on before the bound was reached stays within it.
  ASSERT_EQ(ext.calls.size(), 1u);
  EXPECT_LE(ext.calls[0].size(), std::string("FileData (7,1) ").size() + 65535);
}

TEST_F(MsgReaderTest, ShareDataShortOfItsCountHandsOnWhatCame) {
  testing_support::ScopedCapture log("FTMsgReader", 0);
  EXPECT_EQ(
      feedMsg(Bytes().u32(3).u32(7).u32(5).entry("a", 0, 1).entry("b", 0, 1).entry("c", 0, 1)), 1);
  EXPECT_EQ(ext.calls.size(), 3u);
  EXPECT_TRUE(log.logger.contains("Bad numFiles: 3 received, 5 expected"));
}

TEST_F(MsgReaderTest, AHugeEntryCountIsBoundedByTheBytesPresent) {
  testing_support::ScopedCapture log("FTMsgReader", 0);
  EXPECT_EQ(feedMsg(Bytes().u32(3).u32(7).u32(0xFFFFFFFF).entry("a", 0, 1)), 1);
  EXPECT_EQ(ext.calls.size(), 1u);
  EXPECT_TRUE(log.logger.contains("Bad numFiles: 1 received, 4294967295 expected"));
}

} // namespace
