#include "ft/UploadManager.h"

#include "CaptureLogger.h"
#include "FakeDownloadManager.h"
#include "FramedConnection.h"
#include "OpenDescriptors.h"
#include "RecordingExtension.h"
#include "TempDir.h"
#include "ThrownMessage.h"
#include "ft/proxy/Extension.h"
#include "ft/unix/ShareWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using ft_test::Bytes;
using ft_test::FakeConnectionManager;
using ft_test::RecordingExtension;
using testing_support::frame;
using testing_support::FramedConnection;
using testing_support::FramedPump;
using testing_support::ScopedCapture;
using testing_support::TempDir;

namespace {

void writeFile(const std::string& path, const std::string& data) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  fwrite(data.data(), 1, data.size(), f);
  fclose(f);
}

std::string pattern(size_t n, int seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++)
    s[i] = static_cast<char>('a' + (i * 7 + seed + i / 100) % 26);
  return s;
}

// The upload side driven through the real extension; the peer's view of the
// output is decoded by a reader of its own.
class UploadManagerTest : public ::testing::Test {
protected:
  UploadManagerTest() : manager(&ext), upload(manager.upload) {
    ext.extensionEnabled(&conn, "FileTransfer");
    ext.getUploadManager(id());
    ext.getDownloadManager(id());
    peer.addConnection(&peerConn);
  }
  ~UploadManagerTest() override {
    ext.closeConnection(&conn);
    peer.removeConnection(&peerConn);
  }
  ft::ConnectionId id() { return ft::Extension::idOf(&conn); }

  // Shares the given paths, and answers the share's id.
  std::uint32_t share(std::vector<std::string> paths) {
    {
      ft::ShareWriter writer(&upload, 1);
      for (const std::string& p : paths)
        writer.addPath(dir.file(p).c_str());
    }
    return upload.getCurrentShareId();
  }
  // What the peer received since the last call, as handler calls.
  std::vector<std::string> peerSaw() {
    std::vector<std::uint8_t> bytes = conn.out.bytes();
    pump.in.feed(std::vector<std::uint8_t>(bytes.begin() + seen, bytes.end()));
    seen = bytes.size();
    messages += pump.run(&peer, &peerConn);
    std::vector<std::string> calls;
    calls.swap(peer.calls);
    return calls;
  }
  void send(const Bytes& body) {
    in.in.feed(frame(body.b));
    in.run(&ext, &conn);
  }
  void turns(int n = 200) {
    for (int i = 0; i < n; i++)
      ext.checkOutput(id());
  }
  static std::vector<std::string> entryNames(const std::vector<std::string>& calls) {
    std::vector<std::string> out;
    for (const std::string& c : calls) {
      if (c.rfind("ShareEntry ", 0) == 0) {
        size_t a = c.find(' ', 11) + 1;
        out.push_back(c.substr(a, c.find(' ', a) - a));
      } else {
        out.push_back(c.substr(0, c.find(' ')));
      }
    }
    return out;
  }

  TempDir dir;
  ft::proxy::Extension ext;
  FakeConnectionManager manager;
  ft::UploadManager& upload;
  FramedConnection conn;
  FramedPump in;
  RecordingExtension peer;
  FramedConnection peerConn;
  FramedPump pump;
  size_t seen = 0;
  int messages = 0;
};

TEST_F(UploadManagerTest, ListsTheShareAtDepthZeroAndOneInBatches) {
  mkdir(dir.file("d").c_str(), 0755);
  writeFile(dir.file("d/a"), "a");
  mkdir(dir.file("d/e").c_str(), 0755);
  writeFile(dir.file("d/e/f"), "f");
  mkdir(dir.file("x").c_str(), 0755);
  mkdir(dir.file("x/y").c_str(), 0755);
  writeFile(dir.file("x/y/z"), "z");
  std::uint32_t sid = share({"d", "x"});
  EXPECT_EQ(peerSaw(), std::vector<std::string>{"ShareCtrl " + std::to_string(sid) + " 0 1"});

  // Room for one entry per message.
  conn.out.space = 2 + 12 + 3 + 100;
  send(Bytes().u32(2).u32(sid).str("").u32(1));
  turns(20);
  EXPECT_EQ(entryNames(peerSaw()), (std::vector<std::string>{"d", "x", "ShareEOF"}));
  EXPECT_EQ(messages, 1 + 3);

  send(Bytes().u32(2).u32(sid).str("").u32(0));
  turns(20);
  std::vector<std::string> all = entryNames(peerSaw());
  ASSERT_EQ(all.size(), 8u);
  EXPECT_EQ(all.back(), "ShareEOF");
  std::sort(all.begin(), all.end() - 1);
  EXPECT_EQ(
      all, (std::vector<std::string>{"d", "d/a", "d/e", "d/e/f", "x", "x/y", "x/y/z", "ShareEOF"}));
  EXPECT_EQ(messages, 1 + 3 + 8);

  send(Bytes().u32(2).u32(sid).str("x").u32(1));
  turns(5);
  EXPECT_EQ(entryNames(peerSaw()), (std::vector<std::string>{"x/y", "ShareEOF"}));
}

TEST_F(UploadManagerTest, SharingWhileThePeerHasGoneIsLoggedAndTheShareKept) {
  writeFile(dir.file("f"), "f");
  conn.peerGone = true;
  ScopedCapture log("ShareWriter", 0);
  std::uint32_t sid = 0;
  EXPECT_NO_THROW(sid = share({"f"}));
  EXPECT_TRUE(log.logger.contains("Advertising the share failed: write"));
  EXPECT_TRUE(upload.isComplete());
  ASSERT_NE(upload.getEntries(sid), nullptr);
  EXPECT_EQ(upload.getEntries(sid)->size(), 1u);
}

int openDescriptors() {
  return int(testing_support::openDescriptors().size());
}

TEST_F(UploadManagerTest, FilesInFlightAreBoundedPerConnection) {
  writeFile(dir.file("f"), "data");
  std::uint32_t sid = share({"f"});
  peerSaw();
  int before = openDescriptors();
  // Requests granting no bytes keep their files open.
  for (std::uint32_t i = 0; i < 70; i++)
    send(Bytes().u32(4).str("f").u32(sid).u32(i).u64(0).u64(0).u64(4).u8(0));
  turns(20);
  EXPECT_EQ(openDescriptors() - before, 64);
  std::vector<std::string> refused;
  for (std::uint32_t i = 64; i < 70; i++) {
    std::string ids = "(" + std::to_string(sid) + "," + std::to_string(i) + ")";
    refused.push_back("FileError " + ids + " 'Too many files requested at once (at most 64): f'");
    refused.push_back("FileEOF " + ids);
  }
  EXPECT_EQ(peerSaw(), refused);
  // A file that ends makes room for the next request.
  send(Bytes().u32(8).u32(sid).u32(0));
  send(Bytes().u32(4).str("f").u32(sid).u32(70).u64(100).u64(0).u64(4).u8(0));
  turns(5);
  std::string ids = "(" + std::to_string(sid) + ",70)";
  EXPECT_EQ(peerSaw(), (std::vector<std::string>{"FileData " + ids + " data", "FileEOF " + ids}));
}

// A peer that asks for files without reading the answers: its refusals are
// kept up to the bound, each answered once it reads again; the next request
// would be left without an answer, and ends its file transfer instead.
TEST_F(UploadManagerTest, ARequestBeyondTheUnsentRefusalsEndsTheFileTransfer) {
  writeFile(dir.file("f"), "data");
  std::uint32_t sid = share({"f"});
  peerSaw();
  conn.hasWriter = false;
  auto request = [&](std::uint32_t i) {
    send(Bytes().u32(4).str("nope").u32(sid).u32(i).u64(100));
  };
  for (std::uint32_t i = 0; i < 256; i++)
    request(i);
  ASSERT_NE(upload.getUploads(id()), nullptr);
  EXPECT_EQ(upload.getUploads(id())->size(), 256u);
  ScopedCapture log("UploadManager", 0);
  EXPECT_EQ(testing_support::thrownMessage([&] { request(256); }),
            "File transfer ended: the viewer asked for files without reading the answers (256 "
            "refusals not sent)");
  EXPECT_TRUE(log.logger.contains("File transfer ended: the viewer asked for files"));
  conn.hasWriter = true;
  turns(600);
  EXPECT_EQ(peerSaw().size(), 2u * 256);
  EXPECT_FALSE(upload.hasUploads());
}

TEST_F(UploadManagerTest, ARequestForAnotherShareIsRefused) {
  writeFile(dir.file("f"), "f");
  std::uint32_t sid = share({"f"});
  peerSaw();
  ScopedCapture log("UploadManager", 10);
  send(Bytes().u32(2).u32(sid + 1).str("").u32(0));
  turns(3);
  EXPECT_TRUE(log.logger.contains("Request for share " + std::to_string(sid + 1) + " refused"));
  EXPECT_TRUE(peerSaw().empty());
}

TEST_F(UploadManagerTest, DataIsServedWithinTheGrantedLimits) {
  std::string data = pattern(50000, 1);
  writeFile(dir.file("big"), data);
  std::uint32_t sid = share({"big"});
  peerSaw();
  ScopedCapture log("UploadManager", 101);
  std::string ids = "(" + std::to_string(sid) + ",1)";
  send(Bytes().u32(4).str("big").u32(sid).u32(1).u64(20000).u64(0).u64(~0ull).u8(0));
  turns();
  EXPECT_EQ(peerSaw(), std::vector<std::string>{"FileData " + ids + " " + data.substr(0, 20000)});
  int paused = 0;
  for (auto& l : log.logger.lines)
    paused += l.text == "upload paused";
  EXPECT_EQ(paused, 1);

  // A limit past the end of the file lets the upload find its end.
  send(Bytes().u32(5).u32(sid).u32(1).u64(60000));
  turns();
  EXPECT_TRUE(log.logger.contains("upload resuming (40000)"));
  EXPECT_EQ(peerSaw(), (std::vector<std::string>{"FileData " + ids + " " + data.substr(20000),
                                                 "FileEOF " + ids}));
  EXPECT_FALSE(upload.hasUploads());
}

TEST_F(UploadManagerTest, CompressedDataArrivesIntact) {
  std::string data = pattern(100000, 3);
  writeFile(dir.file("text"), data);
  std::uint32_t sid = share({"text"});
  peerSaw();
  std::string ids = "(" + std::to_string(sid) + ",4)";
  send(Bytes().u32(4).str("text").u32(sid).u32(4).u64(~0ull).u64(10).u64(~0ull).u8(1));
  turns();
  std::vector<std::string> calls = peerSaw();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], "FileData " + ids + " " + data.substr(10));
  EXPECT_EQ(calls[1], "FileEOF " + ids);
  EXPECT_LT(seen, data.size() / 2);
}

TEST_F(UploadManagerTest, AFileNotSharedGetsAnErrorThenItsEnd) {
  writeFile(dir.file("f"), "f");
  std::uint32_t sid = share({"f"});
  peerSaw();
  std::string ids = "(" + std::to_string(sid) + ",9)";
  send(Bytes().u32(4).str("nope").u32(sid).u32(9).u64(100));
  turns(3);
  EXPECT_EQ(peerSaw(), (std::vector<std::string>{"FileError " + ids + " 'File not shared: nope'",
                                                 "FileEOF " + ids}));
}

TEST_F(UploadManagerTest, RequestPathsWithDotDotReachNothingOutsideTheShare) {
  mkdir(dir.file("d").c_str(), 0755);
  writeFile(dir.file("d/a"), "inside");
  writeFile(dir.file("secret"), "outside");
  std::uint32_t sid = share({"d"});
  peerSaw();
  std::string s = std::to_string(sid);
  // Requests name files and folders by the share's own entry names,
  // compared exactly: a path that climbs out (or climbs back in) is none of
  // them, whatever it would reach on disk.
  for (const char* folder : {"..", "d/..", "../d", "d/../d"}) {
    send(Bytes().u32(2).u32(sid).str(folder).u32(0));
    turns(5);
    EXPECT_EQ(peerSaw(), std::vector<std::string>{"ShareEOF " + s}) << folder;
  }
  for (const char* name : {"../secret", "d/../secret", "d/../../secret", "d/../d/a", "d/./a"}) {
    std::string ids = "(" + s + ",5)";
    send(Bytes().u32(4).str(name).u32(sid).u32(5).u64(1000));
    turns(3);
    EXPECT_EQ(peerSaw(),
              (std::vector<std::string>{"FileError " + ids + " 'File not shared: " + name + "'",
                                        "FileEOF " + ids}))
        << name;
  }
  EXPECT_FALSE(upload.hasUploads());
  // The share's own name for the same file is served.
  send(Bytes().u32(4).str("d/a").u32(sid).u32(6).u64(1000));
  turns(3);
  std::string ids = "(" + s + ",6)";
  EXPECT_EQ(peerSaw(), (std::vector<std::string>{"FileData " + ids + " inside", "FileEOF " + ids}));
}

TEST_F(UploadManagerTest, AShortFileEndsRightAfterItsData) {
  writeFile(dir.file("s"), "short");
  std::uint32_t sid = share({"s"});
  peerSaw();
  std::string ids = "(" + std::to_string(sid) + ",2)";
  send(Bytes().u32(4).str("s").u32(sid).u32(2).u64(1000).u64(0).u64(1000000).u8(0));
  turns(2);
  EXPECT_EQ(peerSaw(), (std::vector<std::string>{"FileData " + ids + " short", "FileEOF " + ids}));
}

TEST_F(UploadManagerTest, UploadsOfOneConnectionTakeTurns) {
  writeFile(dir.file("one"), pattern(3000, 1));
  writeFile(dir.file("two"), pattern(3000, 2));
  std::uint32_t sid = share({"one", "two"});
  peerSaw();
  conn.out.space = 2 + 12 + 3 + 4000; // about 1000 bytes a message
  conn.writesLeft = 0;                // both requests queue before any data goes
  send(Bytes().u32(4).str("one").u32(sid).u32(1).u64(~0ull));
  send(Bytes().u32(4).str("two").u32(sid).u32(2).u64(~0ull));
  conn.writesLeft = -1;
  turns();
  std::vector<std::string> calls = peerSaw();
  // Four messages of each file, alternating, then their ends.
  ASSERT_EQ(calls.size(), 10u);
  EXPECT_EQ(messages, 1 + 10);
  std::string one = "FileData (" + std::to_string(sid) + ",1) ";
  std::string two = "FileData (" + std::to_string(sid) + ",2) ";
  for (size_t i = 0; i < 8; i++)
    EXPECT_EQ(calls[i].rfind(i % 2 ? two : one, 0), 0u) << i;
  EXPECT_EQ(calls[8].rfind("FileEOF", 0), 0u);
  EXPECT_EQ(calls[9].rfind("FileEOF", 0), 0u);
}

TEST_F(UploadManagerTest, ARefusedEndOfFileIsSentAtTheNextTurn) {
  writeFile(dir.file("f"), "0123456789");
  std::uint32_t sid = share({"f"});
  peerSaw();
  std::string ids = "(" + std::to_string(sid) + ",1)";
  conn.writesLeft = 1; // the data goes, the end of file finds no room
  send(Bytes().u32(4).str("f").u32(sid).u32(1).u64(10).u64(0).u64(10).u8(0));
  EXPECT_EQ(peerSaw(), std::vector<std::string>{"FileData " + ids + " 0123456789"});
  EXPECT_TRUE(upload.uploadReady(id()));
  conn.writesLeft = -1;
  turns(1);
  EXPECT_EQ(peerSaw(), std::vector<std::string>{"FileEOF " + ids});
  EXPECT_FALSE(upload.hasUploads());
}

TEST_F(UploadManagerTest, AFailureIsReportedOnceWhenItsEndWaits) {
  writeFile(dir.file("f"), "f");
  std::uint32_t sid = share({"f"});
  peerSaw();
  std::string ids = "(" + std::to_string(sid) + ",3)";
  conn.writesLeft = 1;
  send(Bytes().u32(4).str("gone").u32(sid).u32(3).u64(10));
  conn.writesLeft = -1;
  turns(3);
  EXPECT_EQ(peerSaw(), (std::vector<std::string>{"FileError " + ids + " 'File not shared: gone'",
                                                 "FileEOF " + ids}));
}

TEST_F(UploadManagerTest, TheSinkCanAbortAnUpload) {
  writeFile(dir.file("f"), pattern(100000, 1));
  std::uint32_t sid = share({"f"});
  peerSaw();
  send(Bytes().u32(4).str("f").u32(sid).u32(1).u64(1000));
  EXPECT_TRUE(upload.hasUploads());
  send(Bytes().u32(8).u32(sid).u32(1));
  EXPECT_FALSE(upload.hasUploads());
}

TEST_F(UploadManagerTest, SharesAreWithdrawnOnRequestAndReleasedByThePeer) {
  writeFile(dir.file("f"), "f");
  std::uint32_t sid = share({"f"});
  peerSaw();
  conn.hasWriter = false;
  ext.withdrawShareEverywhere(&upload, sid);
  EXPECT_TRUE(upload.withdrawalPending(id()));
  conn.hasWriter = true;
  turns(1);
  EXPECT_EQ(peerSaw(), std::vector<std::string>{"ShareCtrl " + std::to_string(sid) + " 1 0"});
  EXPECT_FALSE(upload.withdrawalPending(id()));
  EXPECT_EQ(upload.getEntries(sid), nullptr);

  std::uint32_t next = share({"f"});
  peerSaw();
  ASSERT_NE(upload.getEntries(next), nullptr);
  send(Bytes().u32(9).u32(next));
  EXPECT_EQ(upload.getEntries(next), nullptr);
}

TEST(UploadManagerIds, ShareIdsAreNeverZeroAndAdvanceByOne) {
  ft::proxy::Extension ext;
  ft::UploadManager upload(&ext);
  std::uint32_t first = upload.newShare(0, 0);
  EXPECT_NE(first, 0u);
  std::uint32_t second = upload.newShare(0, 0);
  EXPECT_EQ(second, first == UINT32_MAX ? 1u : first + 1);
  EXPECT_EQ(upload.newShare(77, 0), 77u);
}

} // namespace
