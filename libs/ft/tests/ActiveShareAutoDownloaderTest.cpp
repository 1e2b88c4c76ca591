#include "ft/ActiveShareAutoDownloader.h"

#include "FileContents.h"
#include "FramedConnection.h"
#include "FullListing.h"
#include "RecordingExtension.h"
#include "TempDir.h"
#include "ft/ShareProxy.h"
#include "ft/proxy/Extension.h"
#include "ft/unix/UnixFileTransferManager.h"
#include "plat/ParameterSet.h"
#include "plat/unix/Passwd.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <new>
#include <unistd.h>

using ft::ActiveShareAutoDownloader;
using ft_test::Bytes;
using testing_support::frame;
using testing_support::FramedConnection;
using testing_support::FramedPump;
using testing_support::TempDir;

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

class Reports : public ft::ShareDownloader::SDCallback {
public:
  void downloadStarted(ft::ShareDownloader::Id, const std::set<std::string>&) override {
    log.push_back("started");
  }
  void setRootDir(ft::ShareDownloader::Id, const char*) override {}
  void downloadNote(ft::ShareDownloader::Id, const char*) override {}
  void setTopLevelPath(ft::ShareDownloader::Id, const char*) override {}
  void downloadFailed(ft::ShareDownloader::Id, const char* m, bool) override {
    log.push_back(std::string("failed ") + m);
  }
  void showMessage(const char* text) override { log.push_back(std::string("message ") + text); }
  void downloadProgress(ft::ShareDownloader::Id, std::uint64_t, std::uint64_t, std::uint64_t,
                        std::uint64_t) override {}
  void downloadComplete(ft::ShareDownloader::Id) override { log.push_back("complete"); }
  std::vector<std::string> log;
};

class Asker : public ActiveShareAutoDownloader::GetDirCallback {
public:
  void getDir(ft::ShareProxy* share) override { asked.push_back(share); }
  std::vector<ft::ShareProxy*> asked;
};

// One viewer connection: its framed stream and a pump for what it sends.
struct Viewer {
  FramedConnection conn;
  FramedPump in;
};

class AutoDownloaderTest : public ::testing::Test {
protected:
  AutoDownloaderTest() : manager(&ext) {
    for (Viewer& v : viewers)
      ext.extensionEnabled(&v.conn, "FileTransfer");
  }
  ~AutoDownloaderTest() override {
    auto_.reset();
    for (Viewer& v : viewers)
      if (ext.hasConnection(ft::Extension::idOf(&v.conn)))
        ext.closeConnection(&v.conn);
  }
  void make(ActiveShareAutoDownloader::GetDirCallback* cb) {
    auto_.reset(new ActiveShareAutoDownloader(&ext, cb));
    auto_->setCallback(&reports);
  }
  void send(Viewer& v, const Bytes& body) {
    v.in.in.feed(frame(body.b));
    v.in.run(&ext, &v.conn);
  }
  // Viewer v pushes share id with n files named <prefix><i>.
  void push(Viewer& v, std::uint32_t id, std::uint32_t flags, int n, const std::string& prefix) {
    send(v, Bytes().u32(1).u32(id).u8(0).u32(flags));
    Bytes listing;
    listing.u32(3).u32(id).u32(static_cast<std::uint32_t>(n));
    for (int i = 0; i < n; i++)
      listing.entry(prefix + std::to_string(i), 0, 4);
    send(v, listing);
    send(v, Bytes().u32(3).u32(id).u32(0));
  }
  void deliverAll(Viewer& v, std::uint32_t id, int n) {
    for (int i = 0; i < n; i++) {
      send(v, Bytes().u32(6).u32(id).u32(i).u16(4).raw("data"));
      send(v, Bytes().u32(6).u32(id).u32(i).u16(0));
    }
  }
  std::string at(const std::string& rel) { return dir.path() + "/" + rel; }
  void refusesOneEntryBeyond(int entries, std::size_t nameLength);

  TempDir dir;
  ft::proxy::Extension ext;
  ft::UnixFileTransferManager manager;
  Viewer viewers[2];
  Reports reports;
  std::unique_ptr<ActiveShareAutoDownloader> auto_;
};

TEST_F(AutoDownloaderTest, PushedSharesFromTwoViewersLandInFetchDirTogether) {
  ScopedParam p("FetchDir", dir.path().c_str());
  make(nullptr);
  push(viewers[0], 7, 1, 20, "a");
  push(viewers[1], 7, 1, 20, "b");
  EXPECT_EQ(auto_->downloadCount(), 2u);
  deliverAll(viewers[1], 7, 20);
  deliverAll(viewers[0], 7, 20);
  EXPECT_EQ(reports.log, std::vector<std::string>({"started", "started", "complete", "complete"}));
  for (int i = 0; i < 20; i++) {
    EXPECT_EQ(testing_support::readFile(at("a" + std::to_string(i))), "data");
    EXPECT_EQ(testing_support::readFile(at("b" + std::to_string(i))), "data");
  }
}

// A listing of `entries` names, each padded to `nameLength` bytes, is held;
// one entry more refuses the share, tells the user, releases it at the peer
// and keeps the connection.
void AutoDownloaderTest::refusesOneEntryBeyond(int entries, std::size_t nameLength) {
  ScopedParam p("FetchDir", dir.path().c_str());
  make(nullptr);
  Viewer& v = viewers[0];
  ft::ConnectionId id = ft::Extension::idOf(&v.conn);
  send(v, Bytes().u32(1).u32(7).u8(0).u32(1));
  ft::DownloadManager* download = ext.getDownloadManager(id);
  ft_test::fillListing(download, entries, nameLength);
  EXPECT_EQ(download->getEntries().size(), std::size_t(entries));
  EXPECT_TRUE(reports.log.empty());
  // One entry more, and the rest of the listing with its end.
  send(v, Bytes().u32(3).u32(7).u32(2).entry("g", 0, 4).entry("h", 0, 4));
  send(v, Bytes().u32(3).u32(7).u32(0));
  EXPECT_EQ(reports.log, std::vector<std::string>({"message The files offered could not be "
                                                   "received: their list is longer than 1000000 "
                                                   "entries or 256 MB of names."}));
  EXPECT_TRUE(download->getEntries().empty());
  EXPECT_EQ(download->getShareId(), 0u);
  EXPECT_EQ(auto_->downloadCount(), 0u);
  ASSERT_TRUE(ext.hasConnection(id));
  // The peer is told the share is released; the connection goes on.
  ft_test::RecordingExtension peer;
  FramedConnection peerConn;
  FramedPump pump;
  peer.addConnection(&peerConn);
  pump.in.feed(v.conn.out.bytes());
  pump.run(&peer, &peerConn);
  EXPECT_EQ(peer.calls, std::vector<std::string>({"ShareReq 7 '' 0", "ShareRelease 7"}));
  peer.removeConnection(&peerConn);
  push(v, 8, 1, 2, "a");
  EXPECT_EQ(auto_->downloadCount(), 1u);
}

TEST_F(AutoDownloaderTest, AListingBeyondAMillionEntriesIsRefusedAndTheUserTold) {
  refusesOneEntryBeyond(ft_test::listingEntryBound, 0);
}

TEST_F(AutoDownloaderTest, AListingBeyond256MiBOfNamesIsRefusedAndTheUserTold) {
  refusesOneEntryBeyond(ft_test::listingNameBound, ft_test::longestName);
}

// A share still being downloaded (its viewer sends no data) keeps its
// listing: a second share that takes the listings of the connection past a
// million entries together is refused, the user told and the share released
// at the peer.
TEST_F(AutoDownloaderTest, ListingsStillDownloadingCountTogetherAgainstTheBound) {
  ScopedParam p("FetchDir", dir.path().c_str());
  make(nullptr);
  Viewer& v = viewers[0];
  ft::ConnectionId id = ft::Extension::idOf(&v.conn);
  send(v, Bytes().u32(1).u32(7).u8(0).u32(1));
  ft::DownloadManager* download = ext.getDownloadManager(id);
  ft_test::fillListing(download, 600000);
  send(v, Bytes().u32(3).u32(7).u32(0));
  EXPECT_EQ(auto_->downloadCount(), 1u);
  send(v, Bytes().u32(1).u32(8).u8(0).u32(1));
  ft_test::fillListing(download, 400000);
  EXPECT_EQ(download->getEntries().size(), 400000u);
  send(v, Bytes().u32(3).u32(8).u32(1).entry("g", 0, 4));
  send(v, Bytes().u32(3).u32(8).u32(0));
  EXPECT_EQ(reports.log,
            std::vector<std::string>({"started", "message The files offered could not be "
                                                 "received: together with the files still being "
                                                 "received, the lists are longer than 1000000 "
                                                 "entries or 256 MB of names."}));
  EXPECT_TRUE(download->getEntries().empty());
  EXPECT_EQ(auto_->downloadCount(), 1u);
  ft_test::RecordingExtension peer;
  FramedConnection peerConn;
  FramedPump pump;
  peer.addConnection(&peerConn);
  pump.in.feed(v.conn.out.bytes());
  pump.run(&peer, &peerConn);
  EXPECT_EQ(std::count(peer.calls.begin(), peer.calls.end(), "ShareRelease 8"), 1);
  EXPECT_EQ(std::count(peer.calls.begin(), peer.calls.end(), "ShareRelease 7"), 0);
  peer.removeConnection(&peerConn);
}

TEST_F(AutoDownloaderTest, AShareWithoutTheFetchFlagIsLeftAlone) {
  ScopedParam p("FetchDir", dir.path().c_str());
  make(nullptr);
  push(viewers[0], 7, 0, 2, "a");
  EXPECT_TRUE(reports.log.empty());
  EXPECT_EQ(auto_->downloadCount(), 0u);
}

TEST_F(AutoDownloaderTest, AskEveryTimeQueuesTheShareUntilAnswered) {
  ScopedParam p("FetchDir", "?");
  Asker asker;
  make(&asker);
  push(viewers[0], 7, 1, 2, "a");
  push(viewers[1], 8, 1, 1, "b");
  ASSERT_EQ(asker.asked.size(), 2u);
  EXPECT_EQ(auto_->pendingCount(), 2u);
  // The queue holds the first share after the second replaced it as active.
  EXPECT_EQ(asker.asked[0]->getRefCount(), 1u);
  EXPECT_EQ(asker.asked[1]->getRefCount(), 2u);
  auto_->decline(asker.asked[1]);
  auto_->decline(asker.asked[1]); // answered once only
  EXPECT_EQ(auto_->pendingCount(), 1u);
  auto_->fetchTo(asker.asked[0], dir.path().c_str());
  EXPECT_EQ(auto_->pendingCount(), 0u);
  deliverAll(viewers[0], 7, 2);
  EXPECT_EQ(reports.log, std::vector<std::string>({"started", "complete"}));
  EXPECT_EQ(testing_support::readFile(at("a1")), "data");
}

TEST_F(AutoDownloaderTest, AskEveryTimeWithoutCallbackShowsTheMessage) {
  ScopedParam p("FetchDir", "?");
  make(nullptr);
  push(viewers[0], 7, 1, 1, "a");
  EXPECT_EQ(reports.log,
            std::vector<std::string>({"message No download directory is configured, and no "
                                      "default could be\ndetermined. Please configure a download "
                                      "directory below."}));
}

// Whatever fails in asking for a folder (out of memory, say) declines the
// share with the same message; the connection goes on.
TEST_F(AutoDownloaderTest, AStandardExceptionWhileAskingDeclinesTheShare) {
  struct Failing : ActiveShareAutoDownloader::GetDirCallback {
    void getDir(ft::ShareProxy*) override { throw std::bad_alloc(); }
  } failing;
  ScopedParam p("FetchDir", "?");
  make(&failing);
  push(viewers[0], 7, 1, 1, "a");
  EXPECT_EQ(auto_->pendingCount(), 0u);
  EXPECT_EQ(reports.log,
            std::vector<std::string>({"message No download directory is configured, and no "
                                      "default could be\ndetermined. Please configure a download "
                                      "directory below."}));
  EXPECT_TRUE(ext.hasConnection(ft::Extension::idOf(&viewers[0].conn)));
}

TEST_F(AutoDownloaderTest, AFolderChosenAfterThePeerLeftFindsNoFiles) {
  ScopedParam p("FetchDir", "?");
  Asker asker;
  make(&asker);
  push(viewers[0], 7, 1, 1, "a");
  ASSERT_EQ(asker.asked.size(), 1u);
  ext.closeConnection(&viewers[0].conn);
  try {
    auto_->fetchTo(asker.asked[0], dir.path().c_str());
    FAIL() << "no exception";
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "The files are no longer available.");
  }
  EXPECT_EQ(auto_->pendingCount(), 0u);
}

TEST_F(AutoDownloaderTest, AnEmptyFetchDirMeansTheDesktop) {
  os::Passwd me(getuid());
  EXPECT_EQ(ActiveShareAutoDownloader::getFetchDir(), std::string(me.getHomeDir()) + "/Desktop");
  EXPECT_FALSE(ActiveShareAutoDownloader::askEveryTime());
}

} // namespace
