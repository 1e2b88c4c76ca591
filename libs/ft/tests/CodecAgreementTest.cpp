// The program's reader and writer against the independent codec of the
// stand-in server (tests/xzav/ft_codec.py) on random messages, both ways.
#include "ft/MsgWriter.h"

#include "FileContents.h"
#include "FramedConnection.h"
#include "RecordingExtension.h"
#include "TempDir.h"
#include "ft/ShareEntry.h"
#include "ft/UnixAttribute.h"
#include "rdr/MemInStream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using ft::FileId;
using ft_test::RecordingExtension;
using testing_support::FramedConnection;
using testing_support::FramedPump;
using testing_support::TempDir;

namespace {

std::string codec() {
  return std::string("python3 ") + ZAV_SOURCE_DIR + "/tests/xzav/ft_codec.py";
}

std::vector<std::string> runLines(const std::string& command) {
  std::vector<std::string> lines;
  FILE* p = popen(command.c_str(), "r");
  if (!p)
    return lines;
  std::string line;
  int c;
  while ((c = fgetc(p)) != EOF) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += static_cast<char>(c);
    }
  }
  if (!line.empty())
    lines.push_back(line);
  EXPECT_EQ(pclose(p), 0) << command;
  return lines;
}

// Our reader's view of a byte stream, file data in hex as the codec prints it.
std::vector<std::string> readWithOurs(const std::vector<std::uint8_t>& bytes) {
  RecordingExtension ext;
  FramedConnection conn;
  FramedPump pump;
  ext.addConnection(&conn);
  pump.in.feed(bytes);
  pump.run(&ext, &conn);
  ext.removeConnection(&conn);
  for (std::string& call : ext.calls) {
    if (call.rfind("FileData ", 0) != 0)
      continue;
    size_t start = call.find(' ', 9) + 1;
    std::string hex;
    char two[3];
    for (size_t i = start; i < call.size(); i++) {
      snprintf(two, sizeof(two), "%02x", static_cast<unsigned char>(call[i]));
      hex += two;
    }
    call = call.substr(0, start) + hex;
  }
  return ext.calls;
}

TEST(CodecAgreementTest, MessagesOfTheIndependentCodecReadAsItSays) {
  TempDir dir;
  for (int seed = 1; seed <= 2; seed++) {
    std::string file = dir.file("msgs" + std::to_string(seed));
    std::vector<std::string> expected =
        runLines(codec() + " random " + std::to_string(seed) + " 300 " + file);
    ASSERT_GT(expected.size(), 250u);
    std::string bytes = testing_support::readFile(file);
    EXPECT_EQ(readWithOurs(std::vector<std::uint8_t>(bytes.begin(), bytes.end())), expected)
        << "seed " << seed;
  }
}

class VectorEnum : public ft::MsgWriter::ShareEnum {
public:
  ~VectorEnum() override {
    for (ft::ShareEntry* e : entries)
      delete e;
  }
  const ft::ShareEntry* current() override { return pos < entries.size() ? entries[pos] : nullptr; }
  void next() override { pos++; }
  std::vector<ft::ShareEntry*> entries;
  size_t pos = 0;
};

TEST(CodecAgreementTest, OurMessagesDecodeInTheIndependentCodec) {
  TempDir dir;
  std::mt19937_64 rng(20261210);
  RecordingExtension ext;
  FramedConnection conn;
  ft::MsgWriter writer(&conn, &ext);
  auto name = [&] {
    std::string n;
    int parts = 1 + rng() % 3;
    for (int p = 0; p < parts; p++) {
      if (p)
        n += '/';
      int len = 1 + rng() % 5;
      for (int i = 0; i < len; i++)
        n += "abcxyz"[rng() % 6];
    }
    return n;
  };
  std::vector<std::string> keep; // file data must outlive the writes
  for (int i = 0; i < 400; i++) {
    FileId id{static_cast<std::uint32_t>(rng()), static_cast<std::uint32_t>(rng())};
    switch (rng() % 11) {
    case 0:
      writer.writeShareCtrl(id.shareId, rng() % 2, static_cast<std::uint32_t>(rng()));
      break;
    case 1:
      writer.writeReqShare(id.shareId, name().c_str(), rng() % 4);
      break;
    case 2: {
      VectorEnum entries;
      for (int k = 1 + rng() % 4; k > 0; k--) {
        entries.entries.push_back(
            new ft::ShareEntry(name().c_str(), rng() % 8, rng(), rng(), rng(), rng()));
        if (rng() % 2)
          entries.entries.back()->addAttribute(ft::makeUnixAttribute(rng() & 0xFFFF));
      }
      writer.writeShareData(id.shareId, &entries);
      break;
    }
    case 3:
      writer.writeShareDataEOF(id.shareId);
      break;
    case 4:
      writer.writeReqFile(name().c_str(), id, rng(), rng(), rng(), rng() % 4);
      break;
    case 5:
      writer.writeUpdateByteLimit(id, rng());
      break;
    case 6:
    case 7: {
      std::string data(1 + rng() % 5000, '\0');
      for (char& c : data)
        c = static_cast<char>(rng() % 2 ? 'a' + rng() % 3 : rng());
      keep.push_back(data);
      rdr::MemInStream in(keep.back().data(), static_cast<int>(keep.back().size()));
      writer.writeFileData(id, &in, 65535, rng() % 2);
      break;
    }
    case 8:
      writer.writeFileEOF(id);
      break;
    case 9:
      writer.writeFileError(id, rng() % 3 ? name().c_str() : nullptr);
      break;
    default:
      if (rng() % 2)
        writer.writeAbortFile(id);
      else
        writer.writeReleaseShare(id.shareId);
      break;
    }
  }
  std::vector<std::uint8_t> bytes = conn.out.bytes();
  std::string file = dir.file("ours");
  testing_support::writeFile(file, std::string(bytes.begin(), bytes.end()));
  std::vector<std::string> decoded = runLines(codec() + " decode " + file);
  EXPECT_GT(decoded.size(), 350u);
  EXPECT_EQ(decoded, readWithOurs(bytes));
}

} // namespace
