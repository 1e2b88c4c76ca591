#include "ft/MsgWriter.h"

#include "CaptureLogger.h"
#include "FramedConnection.h"
#include "RecordingExtension.h"
#include "ft/ShareEntry.h"
#include "plat/ParameterSet.h"
#include "rdr/MemInStream.h"

#include <gtest/gtest.h>
#include <zlib.h>

using ft::FileId;
using ft::MsgWriter;
using ft_test::Bytes;
using ft_test::RecordingExtension;
using testing_support::frame;
using testing_support::FramedConnection;
using testing_support::FramedPump;

namespace {

using Raw = std::vector<std::uint8_t>;

// The free space an extension message sees when the stream reports space:
// the frame header (2) and the name "FileTransfer" (12 + 3) are taken off.
int streamSpaceFor(int extensionSpace) {
  return extensionSpace + 2 + 12 + 3;
}

class VectorEnum : public MsgWriter::ShareEnum {
public:
  explicit VectorEnum(std::vector<ft::ShareEntry*> e) : entries(std::move(e)) {}
  ~VectorEnum() override {
    for (ft::ShareEntry* e : entries)
      delete e;
  }
  const ft::ShareEntry* current() override { return pos < entries.size() ? entries[pos] : nullptr; }
  void next() override { pos++; }
  std::vector<ft::ShareEntry*> entries;
  size_t pos = 0;
};

// Sets a parameter for one test and puts the default back after it.
class ScopedParam {
public:
  ScopedParam(const char* name, const char* value) : name_(name) {
    plat::ParameterSet::global().find(name)->setParam(value, 0);
  }
  ~ScopedParam() { plat::ParameterSet::global().find(name_)->unsetParam(0); }

private:
  const char* name_;
};

class MsgWriterTest : public ::testing::Test {
protected:
  MsgWriterTest() : writer(&conn, &ext) {}
  std::vector<std::uint8_t> sent() { return conn.out.bytes(); }

  RecordingExtension ext;
  FramedConnection conn;
  MsgWriter writer;
};

TEST(MsgWriterAllowance, FollowsTheBiasAndTheCap) {
  struct {
    int space, minSize, bias, allowance;
  } cases[] = {
      {100, 114, 25, 0},      {1000, 114, 25, 250},  {100000, 114, 25, 16384},
      {114, 114, 25, 114},    {1000, 114, 200, 950}, {1000, 114, 95, 950},
      {1000, 114, -5, 114},   {1000, 114, 0, 114},   {100000, 20000, 25, 20000},
      {65536, 12, 25, 16384}, {40, 13, 25, 13},      {12, 13, 25, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MsgWriter::allowance(c.space, c.minSize, c.bias), c.allowance)
        << c.space << " " << c.minSize << " " << c.bias;
}

TEST(MsgWriterAllowance, CompressedInputLeavesRoomForDataThatDoesNotShrink) {
  struct {
    int capacity, input;
  } cases[] = {{100, 87},      {236, 223},     {16370, 16357},
               {16384, 16371}, {16385, 16367}, {65535, 65507}};
  std::vector<std::uint8_t> noise(2 * 65535);
  std::uint32_t x = 99;
  for (auto& b : noise) {
    x = x * 1664525 + 1013904223;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  for (const auto& c : cases) {
    EXPECT_EQ(MsgWriter::maxCompressedInput(c.capacity), c.input) << c.capacity;
    // A fresh stream (with its header) and a running one both fit, with room
    // to spare, so that deflate has nothing left to write.
    z_stream zs = z_stream();
    deflateInit(&zs, Z_DEFAULT_COMPRESSION);
    std::vector<std::uint8_t> out(c.capacity);
    for (int round = 0; round < 2; round++) {
      zs.next_in = noise.data() + round * c.input;
      zs.avail_in = static_cast<uInt>(c.input);
      zs.next_out = out.data();
      zs.avail_out = static_cast<uInt>(c.capacity);
      EXPECT_EQ(deflate(&zs, Z_SYNC_FLUSH), Z_OK);
      EXPECT_EQ(zs.avail_in, 0u) << c.capacity;
      EXPECT_GT(zs.avail_out, 0u) << c.capacity;
    }
    deflateEnd(&zs);
  }
}

TEST_F(MsgWriterTest, WritesTheGoldenBytesOfEachMessage) {
  std::string data = "file data";
  rdr::MemInStream in(data.data(), static_cast<int>(data.size()));
  ft::ShareEntry* e = new ft::ShareEntry("d/a", 0, 5, 1, 2, 3);
  VectorEnum entries({e});

  EXPECT_EQ(writer.writeShareCtrl(7, 0, 1), 13);
  EXPECT_EQ(writer.writeReqShare(7, "d", 2), 8);
  EXPECT_EQ(writer.writeShareData(7, &entries), 1);
  EXPECT_EQ(writer.writeShareDataEOF(7), 12);
  EXPECT_EQ(writer.writeReqFile("d/a", FileId{7, 2}, 1000, 10, 20, 1), 27);
  EXPECT_EQ(writer.writeUpdateByteLimit(FileId{7, 2}, 5000), 20);
  EXPECT_EQ(writer.writeFileData(FileId{7, 2}, &in, 100, false), 9);
  // Which copies deflate chooses is zlib's affair: the compressed data here
  // repeats no three bytes, so that every byte goes as a literal.
  std::string hello = "hello", world = "world";
  rdr::MemInStream first(hello.data(), 5), second(world.data(), 5);
  EXPECT_EQ(writer.writeFileData(FileId{7, 3}, &first, 100, true), 5);
  EXPECT_EQ(writer.writeFileData(FileId{7, 3}, &second, 100, true), 5);
  EXPECT_EQ(writer.writeFileEOF(FileId{7, 2}), 1);
  EXPECT_EQ(writer.writeFileError(FileId{7, 2}, nullptr), 1);
  EXPECT_EQ(writer.writeAbortFile(FileId{7, 2}), 1);
  EXPECT_EQ(writer.writeReleaseShare(7), 8);

  std::vector<Bytes> bodies = {
      Bytes().u32(1).u32(7).u8(0).u32(1),
      Bytes().u32(2).u32(7).str("d").u32(2),
      Bytes().u32(3).u32(7).u32(1).entry("d/a", 0, 5),
      Bytes().u32(3).u32(7).u32(0),
      Bytes().u32(4).str("d/a").u32(7).u32(2).u64(1000).u64(10).u64(20).u8(1),
      Bytes().u32(5).u32(7).u32(2).u64(5000),
      Bytes().u32(6).u32(7).u32(2).u16(9).raw("file data"),
      // The connection's deflate stream starts with the zlib header 78 9C;
      // "hello" has no repeats, so it goes as a block of fixed codes (BFINAL
      // 0, BTYPE 01, literals 0x30 + byte in 8 bits, end of block in 7 zero
      // bits), and the sync flush adds an empty stored block (000, padding,
      // 00 00 FF FF).
      Bytes().u32(10).u32(7).u32(3).u16(13).raw(
          Raw{0x78, 0x9C, 0xCA, 0x48, 0xCD, 0xC9, 0xC9, 0x07, 0x00, 0x00, 0x00, 0xFF, 0xFF}),
      // The same stream goes on, without a header: "world" in fixed codes.
      Bytes().u32(10).u32(7).u32(3).u16(11).raw(
          Raw{0x2A, 0xCF, 0x2F, 0xCA, 0x49, 0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF}),
      Bytes().u32(6).u32(7).u32(2).u16(0),
      Bytes().u32(7).u32(7).u32(2).str(""),
      Bytes().u32(8).u32(7).u32(2),
      Bytes().u32(9).u32(7),
  };
  std::vector<std::uint8_t> expected;
  for (const Bytes& b : bodies) {
    std::vector<std::uint8_t> f = frame(b.b);
    expected.insert(expected.end(), f.begin(), f.end());
  }
  EXPECT_EQ(sent(), expected);
}

TEST_F(MsgWriterTest, WithoutAWriterNothingIsWritten) {
  testing_support::ScopedCapture log("FTMsgWriter", 10);
  conn.hasWriter = false;
  EXPECT_EQ(writer.writeReqShare(7, "", 0), 0);
  EXPECT_EQ(writer.writeShareCtrl(7, 0, 0), 0);
  EXPECT_TRUE(sent().empty());
  EXPECT_TRUE(log.logger.contains("writeReqShare: no writer for connection"));
}

TEST_F(MsgWriterTest, FileDataStaysWithinTheAllowance) {
  std::string data(20000, 'z');
  rdr::MemInStream in(data.data(), static_cast<int>(data.size()));
  conn.out.space = streamSpaceFor(100);
  EXPECT_EQ(writer.writeFileData(FileId{1, 1}, &in, 65535, false), 0);
  conn.out.space = streamSpaceFor(1000);
  EXPECT_EQ(writer.writeFileData(FileId{1, 1}, &in, 65535, false), 236);
  conn.out.space = streamSpaceFor(100000);
  EXPECT_EQ(writer.writeFileData(FileId{1, 1}, &in, 65535, false), 16370);
  EXPECT_EQ(in.pos(), 236 + 16370);
}

TEST_F(MsgWriterTest, AnEntryLargerThanTheAllowanceWaits) {
  VectorEnum entries({new ft::ShareEntry(std::string(500, 'n').c_str(), 0, 0, 0, 0, 0),
                      new ft::ShareEntry("b", 0, 0, 0, 0, 0)});
  conn.out.space = streamSpaceFor(400);
  EXPECT_EQ(writer.writeShareData(7, &entries), 0);
  EXPECT_EQ(entries.pos, 0u);
  EXPECT_TRUE(sent().empty());
  // With room for the first entry only, the batch holds it alone.
  conn.out.space = streamSpaceFor(560);
  EXPECT_EQ(writer.writeShareData(7, &entries), 1);
  EXPECT_EQ(entries.pos, 1u);
}

TEST_F(MsgWriterTest, FileRequestsAskForPlainDataWhenCompressionIsOff) {
  ScopedParam off("FtCompress", "0");
  writer.writeReqFile("a", FileId{1, 2}, 10, 0, 5, 3);
  std::vector<std::uint8_t> bytes = sent();
  EXPECT_EQ(bytes.back(), 2);
}

TEST_F(MsgWriterTest, EveryMessageReadsBackAsWritten) {
  std::string data;
  for (int i = 0; i < 40000; i++)
    data += static_cast<char>("abcdefgh"[i % 8] + (i % 97 == 0));
  rdr::MemInStream in(data.data(), static_cast<int>(data.size()));
  std::string second = "the second file, compressed on the same stream";
  rdr::MemInStream in2(second.data(), static_cast<int>(second.size()));
  VectorEnum entries(
      {new ft::ShareEntry("d", 1, 0, 0, 0, 0), new ft::ShareEntry("d/a", 0, 5, 0, 0, 0)});

  writer.writeShareCtrl(7, 1, 0);
  writer.writeReqShare(7, "d/e", 3);
  writer.writeShareData(7, &entries);
  writer.writeShareDataEOF(7);
  writer.writeReqFile("d/a", FileId{7, 2}, 1000, 10, 20, 1);
  writer.writeUpdateByteLimit(FileId{7, 2}, 5000);
  int consumed = 0;
  while (consumed < static_cast<int>(data.size()))
    consumed += writer.writeFileData(FileId{7, 2}, &in, 65535, true);
  writer.writeFileData(FileId{7, 3}, &in2, 65535, true);
  writer.writeFileEOF(FileId{7, 2});
  writer.writeFileError(FileId{7, 2}, "no room");
  writer.writeAbortFile(FileId{7, 2});
  writer.writeReleaseShare(7);

  RecordingExtension reader;
  FramedConnection readerConn;
  FramedPump pump;
  reader.addConnection(&readerConn);
  pump.in.feed(sent());
  pump.run(&reader, &readerConn);
  reader.removeConnection(&readerConn);
  EXPECT_EQ(reader.calls, (std::vector<std::string>{
                              "ShareCtrl 7 1 0",
                              "ShareReq 7 'd/e' 3",
                              "ShareEntry 7 d 1 0 attrs=0",
                              "ShareEntry 7 d/a 0 5 attrs=0",
                              "ShareEOF 7",
                              "FileReq d/a (7,2) 1000 10 20 1",
                              "ByteLimit (7,2) 5000",
                              "FileData (7,2) " + data,
                              "FileData (7,3) " + second,
                              "FileEOF (7,2)",
                              "FileError (7,2) 'no room'",
                              "FileAbort (7,2)",
                              "ShareRelease 7",
                          }));
  // The data went compressed: far fewer bytes than the file.
  EXPECT_LT(sent().size(), data.size() / 2);
}

TEST(MsgWriterCompressible, RepetitiveDataIsCompressibleNoiseIsNot) {
  std::vector<std::uint8_t> text(1024, 'a');
  std::vector<std::uint8_t> noise(1024);
  std::uint32_t x = 12345;
  for (auto& b : noise) {
    x = x * 1103515245 + 12345;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  EXPECT_TRUE(MsgWriter::isCompressible(text.data(), 1024));
  EXPECT_FALSE(MsgWriter::isCompressible(noise.data(), 1024));
  EXPECT_FALSE(MsgWriter::isCompressible(text.data(), 0));
}

} // namespace
