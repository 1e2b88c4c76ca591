#include "ft/DownloadManager.h"

#include "CaptureLogger.h"
#include "FramedConnection.h"
#include "RecordingExtension.h"
#include "TempDir.h"
#include "ft/ShareProxy.h"
#include "ft/proxy/Extension.h"
#include "ft/unix/ShareWriter.h"
#include "ft/unix/UnixFileTransferManager.h"
#include "plat/ParameterSet.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

using ft::FileId;
using ft_test::Bytes;
using ft_test::RecordingExtension;
using testing_support::frame;
using testing_support::FramedConnection;
using testing_support::FramedPump;

namespace {

class ScopedParam {
public:
  ScopedParam(const char* name, const char* value) : name_(name) {
    plat::ParameterSet::global().find(name)->setParam(value, 0);
  }
  ~ScopedParam() { plat::ParameterSet::global().find(name_)->unsetParam(0); }

private:
  const char* name_;
};

// A stream whose grantable limit the test sets; its end goes to a log.
class TestStream : public ft::DownloadManager::Stream {
public:
  TestStream(std::vector<std::string>* log_, const std::string& name_, std::uint64_t grant_)
      : log(log_), name(name_), grant(grant_) {}
  std::uint64_t getLimit() override { return grant; }
  int write(const std::uint8_t*, int length) override { return length; }
  void finish(const char* message) override {
    log->push_back(name + " '" + message + "'");
    delete this;
  }
  std::vector<std::string>* log;
  std::string name;
  std::uint64_t grant;
};

class DownloadManagerTest : public ::testing::Test {
protected:
  DownloadManagerTest() : manager(&ext) {
    ext.extensionEnabled(&conn, "FileTransfer");
    download = ext.getDownloadManager(id());
    peer.addConnection(&peerConn);
  }
  ~DownloadManagerTest() override {
    if (ext.hasConnection(id()))
      ext.closeConnection(&conn);
    peer.removeConnection(&peerConn);
  }
  ft::ConnectionId id() { return ft::Extension::idOf(&conn); }

  std::vector<std::string> peerSaw() {
    std::vector<std::uint8_t> bytes = conn.out.bytes();
    pump.in.feed(std::vector<std::uint8_t>(bytes.begin() + seen, bytes.end()));
    seen = bytes.size();
    pump.run(&peer, &peerConn);
    std::vector<std::string> calls;
    calls.swap(peer.calls);
    return calls;
  }
  void send(const Bytes& body) {
    in.in.feed(frame(body.b));
    in.run(&ext, &conn);
  }
  TestStream* stream(FileId fid, const std::string& name, std::uint64_t grant) {
    TestStream* s = new TestStream(&ends, name, grant);
    download->addStream(fid, s);
    return s;
  }
  // Advertises share 7 with two entries and ends its listing.
  void listShare() {
    send(Bytes().u32(1).u32(7).u8(0).u32(1));
    send(Bytes().u32(3).u32(7).u32(2).entry("a", 0, 10).entry("d", 1, 0));
    send(Bytes().u32(3).u32(7).u32(0));
  }

  ft::proxy::Extension ext;
  ft::UnixFileTransferManager manager;
  ft::DownloadManager* download = nullptr;
  FramedConnection conn;
  FramedPump in;
  RecordingExtension peer;
  FramedConnection peerConn;
  FramedPump pump;
  size_t seen = 0;
  std::vector<std::string> ends;
};

TEST_F(DownloadManagerTest, AnAdvertisedShareIsRequestedAndBecomesTheActiveShare) {
  send(Bytes().u32(1).u32(7).u8(0).u32(1));
  EXPECT_EQ(peerSaw(), std::vector<std::string>({"ShareReq 7 '' 0"}));
  EXPECT_EQ(download->getState(), 2);
  // The same advertisement again changes nothing.
  send(Bytes().u32(1).u32(7).u8(0).u32(1));
  EXPECT_TRUE(peerSaw().empty());
  send(Bytes().u32(3).u32(7).u32(2).entry("a", 0, 10).entry("d", 1, 0));
  send(Bytes().u32(3).u32(7).u32(0));
  EXPECT_EQ(download->getState(), 3);
  ft::ShareProxy* active = ext.getActiveShare();
  ASSERT_NE(active, nullptr);
  EXPECT_EQ(active->getShareId(), 7u);
  EXPECT_EQ(active->getShareFlags(), 1u);
  ASSERT_EQ(active->size(), 2u);
  EXPECT_EQ((*active)[0]->name, "a");
  active->unref();
}

TEST_F(DownloadManagerTest, AnotherShareDiscardsThePartialListing) {
  send(Bytes().u32(1).u32(7).u8(0).u32(0));
  send(Bytes().u32(3).u32(7).u32(1).entry("old", 0, 1));
  ext.checkOutput(id()); // the stream took the request: a writable event
  send(Bytes().u32(1).u32(8).u8(0).u32(0));
  EXPECT_EQ(download->getEntries().size(), 0u);
  EXPECT_EQ(peerSaw(), std::vector<std::string>({"ShareReq 7 '' 0", "ShareReq 8 '' 0"}));
}

TEST_F(DownloadManagerTest, AnEndOfListingForAnotherShareIsRefused) {
  send(Bytes().u32(1).u32(7).u8(0).u32(0));
  EXPECT_THROW(download->ready(9), plat::Exception);
  EXPECT_EQ(download->getState(), 2);
  EXPECT_THROW(download->ready(0), plat::Exception);
}

TEST_F(DownloadManagerTest, ARefusedShareRequestIsSentAtTheNextTurn) {
  conn.hasWriter = false;
  send(Bytes().u32(1).u32(7).u8(0).u32(0));
  EXPECT_EQ(download->getState(), 1);
  conn.hasWriter = true;
  ext.checkOutput(id());
  EXPECT_EQ(peerSaw(), std::vector<std::string>({"ShareReq 7 '' 0"}));
}

TEST_F(DownloadManagerTest, FileRequestsCarryTheStreamsLimitAndARequestWithoutStreamIsDropped) {
  TestStream* s = stream(FileId{7, 0}, "a", 5000);
  download->addFileRequest(FileId{7, 0}, "a", 0, ~std::uint64_t(0));
  download->addFileRequest(FileId{7, 1}, "gone", 0, 10);
  EXPECT_TRUE(download->sendFileRequests());
  EXPECT_EQ(peerSaw(), std::vector<std::string>({"FileReq a (7,0) 5000 0 18446744073709551615 0"}));
  EXPECT_EQ(s->limit, 5000u);
  EXPECT_FALSE(download->sendFileRequests());
  EXPECT_THROW(download->addFileRequest(FileId{7, 2}, "", 0, 1), plat::Exception);
  EXPECT_THROW(download->addFileRequest(FileId{7, 2}, nullptr, 0, 1), plat::Exception);
}

TEST_F(DownloadManagerTest, ASecondStreamWithTheSameIdIsRefused) {
  stream(FileId{7, 0}, "a", 1);
  EXPECT_THROW(stream(FileId{7, 0}, "b", 1), plat::Exception);
  EXPECT_EQ(ends, std::vector<std::string>({"b 'A stream with that id already exists'"}));
}

TEST_F(DownloadManagerTest, ARefusedFileRequestStaysForTheNextTurn) {
  stream(FileId{7, 0}, "a", 100);
  download->addFileRequest(FileId{7, 0}, "a", 0, 10);
  conn.hasWriter = false;
  EXPECT_TRUE(download->sendFileRequests());
  EXPECT_TRUE(download->hasPending());
  conn.hasWriter = true;
  EXPECT_TRUE(download->sendFileRequests());
  EXPECT_EQ(peerSaw().size(), 1u);
}

struct RenewCase {
  const char* lwm;
  std::uint64_t received;
  bool renewed;
};

TEST_F(DownloadManagerTest, LimitsAreRenewedAsTheLowWaterMarkSays) {
  // Granted 1000; the stream could now grant 1500.
  const RenewCase cases[] = {
      {"-1", 0, true},    {"0", 999, false}, {"0", 1000, true},  {"200", 700, false},
      {"200", 800, true}, {"-2", 0, true},   {"-1000", 0, true},
  };
  std::uint32_t n = 0;
  for (const RenewCase& c : cases) {
    ScopedParam lwm("FileTransferLWM", c.lwm);
    FileId fid{7, n++};
    TestStream* s = stream(fid, "s", 1000);
    download->addFileRequest(fid, "s", 0, 5000);
    download->sendFileRequests();
    peerSaw();
    s->grant = 1500;
    s->received = c.received;
    EXPECT_EQ(download->renewLimits(), c.renewed) << c.lwm << " " << c.received;
    std::vector<std::string> saw = peerSaw();
    if (c.renewed)
      EXPECT_EQ(
          saw, std::vector<std::string>({"ByteLimit (7," + std::to_string(fid.fileId) + ") 1500"}));
    else
      EXPECT_TRUE(saw.empty());
    download->closeStream(fid, "");
  }
}

TEST_F(DownloadManagerTest, NoRenewalWhileTheRequestIsPendingOrTheLimitIsNotHigher) {
  stream(FileId{7, 0}, "a", 1000);
  download->addFileRequest(FileId{7, 0}, "a", 0, 10);
  EXPECT_FALSE(download->renewLimits());
  download->sendFileRequests();
  EXPECT_FALSE(download->renewLimits());
}

TEST_F(DownloadManagerTest, WithdrawalFailsTheSharesStreamsAndClearsItsProxy) {
  listShare();
  stream(FileId{7, 0}, "a", 1);
  stream(FileId{9, 0}, "other", 1);
  send(Bytes().u32(1).u32(7).u8(1).u32(0));
  EXPECT_EQ(ends, std::vector<std::string>({"a 'Files withdrawn by source'"}));
  EXPECT_EQ(ext.getActiveShare(), nullptr);
  EXPECT_EQ(download->getShareId(), 0u);
  EXPECT_NE(download->getStream(FileId{9, 0}), nullptr);
}

TEST_F(DownloadManagerTest, CancelSendsTheAbortAtOnceOrAtTheNextTurn) {
  stream(FileId{7, 0}, "a", 1);
  stream(FileId{7, 1}, "b", 1);
  peerSaw();
  download->cancel(FileId{7, 0});
  EXPECT_EQ(peerSaw(), std::vector<std::string>({"FileAbort (7,0)"}));
  conn.hasWriter = false;
  download->cancel(FileId{7, 1});
  EXPECT_TRUE(peerSaw().empty());
  conn.hasWriter = true;
  ext.checkOutput(id());
  EXPECT_EQ(peerSaw(), std::vector<std::string>({"FileAbort (7,1)"}));
  EXPECT_EQ(ends, std::vector<std::string>({"a 'Download cancelled'", "b 'Download cancelled'"}));
}

TEST_F(DownloadManagerTest, ReleasingTheProxySendsAShareRelease) {
  listShare();
  peerSaw();
  ext.setActiveShare(nullptr);
  EXPECT_EQ(peerSaw(), std::vector<std::string>({"ShareRelease 7"}));
}

TEST_F(DownloadManagerTest, TheProxyTakesTheListingOver) {
  listShare();
  ft::ShareProxy* share = ext.getActiveShare();
  ASSERT_NE(share, nullptr);
  ASSERT_EQ(share->size(), 2u);
  EXPECT_EQ((*share)[0]->name, "a");
  EXPECT_EQ((*share)[1]->name, "d");
  EXPECT_TRUE(download->getEntries().empty());
  share->unref();
}

TEST_F(DownloadManagerTest, ReleasingTheProxyAfterThePeerHasGoneIsLogged) {
  listShare();
  peerSaw();
  conn.peerGone = true;
  testing_support::ScopedCapture log("ShareProxy", 0);
  EXPECT_NO_THROW(ext.setActiveShare(nullptr));
  EXPECT_TRUE(log.logger.contains("Releasing a share failed: write"));
  // The release waits for a peer that can take it.
  conn.peerGone = false;
  ext.checkOutput(id());
  EXPECT_EQ(peerSaw(), std::vector<std::string>({"ShareRelease 7"}));
}

TEST_F(DownloadManagerTest, ClosingTheConnectionEndsEveryStreamAndOrphansTheProxy) {
  listShare();
  ft::ShareProxy* kept = ext.getActiveShare();
  stream(FileId{7, 0}, "a", 1);
  stream(FileId{7, 1}, "b", 1);
  ext.closeConnection(&conn);
  EXPECT_EQ(ends, std::vector<std::string>({"a 'Connection closed'", "b 'Connection closed'"}));
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->getManager(), nullptr);
  kept->unref();
}

TEST_F(DownloadManagerTest, ClosingTheConnectionWithARefusedRequestPendingEndsItsStream) {
  stream(FileId{7, 0}, "a", 100);
  stream(FileId{7, 1}, "b", 100);
  download->addFileRequest(FileId{7, 0}, "a", 0, 10);
  download->addFileRequest(FileId{7, 1}, "b", 0, 10);
  conn.hasWriter = false;
  EXPECT_TRUE(download->sendFileRequests());
  ext.closeConnection(&conn);
  EXPECT_EQ(ends, std::vector<std::string>({"a 'Connection closed'", "b 'Connection closed'"}));
}

// The extension and the connection manager are members of one owner and
// may be destroyed in either order, with a connection still open, a file
// being uploaded and a stream being downloaded.
TEST(UnixFileTransferManagerTest, TeardownIsSafeInEitherOrder) {
  testing_support::TempDir dir;
  FILE* f = fopen(dir.file("f").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fputs("contents", f);
  fclose(f);
  for (bool extensionFirst : {true, false}) {
    std::vector<std::string> ends;
    FramedConnection conn;
    auto ext = std::make_unique<ft::proxy::Extension>();
    auto manager = std::make_unique<ft::UnixFileTransferManager>(ext.get());
    ext->extensionEnabled(&conn, "FileTransfer");
    ft::ConnectionId id = ft::Extension::idOf(&conn);
    ft::UploadManager* upload = ext->getUploadManager(id);
    {
      ft::ShareWriter writer(upload, 0);
      writer.addPath(dir.file("f").c_str());
    }
    conn.hasWriter = false;
    ASSERT_TRUE(upload->handleFileRequest(id, "f", FileId{upload->getCurrentShareId(), 1}, 100, 0,
                                          100, false));
    ext->getDownloadManager(id)->addStream(FileId{9, 1}, new TestStream(&ends, "s", 10));
    if (extensionFirst) {
      ext.reset();
      EXPECT_FALSE(upload->hasUploads());
      manager.reset();
    } else {
      manager.reset();
      ext.reset();
    }
    EXPECT_EQ(ends, std::vector<std::string>({"s 'Connection closed'"})) << extensionFirst;
  }
}

TEST(UnixFileTransferManagerTest, FiltersAttributesOnlyWhileItExists) {
  ft::proxy::Extension ext;
  {
    ft::UnixFileTransferManager manager(&ext);
    EXPECT_EQ(ft::ShareEntry::getAttributeFilter(), &manager);
    ft::FileAttributes unix("UNIX", "\x01\xa4", 2);
    ft::FileAttributes other("MIME", "x", 1);
    EXPECT_TRUE(manager.accept(&unix));
    EXPECT_FALSE(manager.accept(&other));
    // A connection that never had a download manager is released quietly.
    manager.releaseConnection(manager.getUploadManager(), nullptr);
  }
  EXPECT_EQ(ft::ShareEntry::getAttributeFilter(), nullptr);
  FramedConnection conn;
  ext.extensionEnabled(&conn, "FileTransfer");
  EXPECT_EQ(ext.getDownloadManager(ft::Extension::idOf(&conn)), nullptr);
  ext.closeConnection(&conn);
}

} // namespace

namespace {

// The listing of share sid: n four-byte files named <prefix><i>, each with a
// "UNIX" attribute when withMode is set.
Bytes listing(std::uint32_t sid, int n, const std::string& prefix, bool withMode = false) {
  Bytes b;
  b.u32(3).u32(sid).u32(static_cast<std::uint32_t>(n));
  for (int i = 0; i < n; i++) {
    b.str(prefix + std::to_string(i)).u64(4).u64(0).u64(0).u64(0).u32(0);
    if (withMode)
      b.u32(1).u8(4).raw("UNIX").u32(2).u16(0100644);
    else
      b.u32(0);
  }
  return b;
}

// The listings a connection holds add up: a share proxy's listing counts
// with the next share's until the proxy is gone. Past the bound the new
// share is refused, its entries dropped and the share released at the peer.
TEST_F(DownloadManagerTest, TheListingsOfAConnectionAreBoundedTogether) {
  download->setListingBounds(10, 1 << 20);
  send(Bytes().u32(1).u32(7).u8(0).u32(1));
  send(listing(7, 6, "a"));
  send(Bytes().u32(3).u32(7).u32(0));
  ft::ShareProxy* first = ext.getActiveShare();
  ASSERT_NE(first, nullptr);
  first->unref();
  peerSaw();

  send(Bytes().u32(1).u32(8).u8(0).u32(1));
  send(listing(8, 6, "b"));
  send(Bytes().u32(3).u32(8).u32(0));
  std::vector<std::string> saw = peerSaw();
  EXPECT_EQ(std::count(saw.begin(), saw.end(), "ShareRelease 8"), 1);
  EXPECT_TRUE(download->getEntries().empty());
  EXPECT_EQ(download->getShareId(), 0u);
  first = ext.getActiveShare();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->getShareId(), 7u);
  first->unref();

  // The first share withdrawn, its listing no longer counts.
  send(Bytes().u32(1).u32(7).u8(1).u32(0));
  EXPECT_EQ(ext.getActiveShare(), nullptr);
  send(Bytes().u32(1).u32(9).u8(0).u32(1));
  send(listing(9, 9, "c"));
  send(Bytes().u32(3).u32(9).u32(0));
  ft::ShareProxy* third = ext.getActiveShare();
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third->size(), 9u);
  third->unref();
}

// Attribute bytes count with the names: 47 entries a0..a46 with a "UNIX"
// attribute (11 bytes on the wire each) come to 131 + 517 = 648 bytes; one
// more crosses 650, though all the names together come to 133.
TEST_F(DownloadManagerTest, AttributeBytesCountInTheListingBound) {
  download->setListingBounds(1000, 650);
  send(Bytes().u32(1).u32(7).u8(0).u32(1));
  send(listing(7, 47, "a", true));
  EXPECT_EQ(download->getEntries().size(), 47u);
  send(listing(7, 1, "b", true));
  EXPECT_TRUE(download->getEntries().empty());
  EXPECT_EQ(download->getShareId(), 0u);
}

} // namespace
