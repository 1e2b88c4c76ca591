#include "ft/Extension.h"

#include "CaptureLogger.h"
#include "FakeDownloadManager.h"
#include "FramedConnection.h"
#include "RecordingExtension.h"
#include "ThrownMessage.h"
#include "ft/ShareProxy.h"
#include "ft/proxy/Extension.h"
#include "plat/ParameterSet.h"

#include <gtest/gtest.h>

using ft::FileId;
using ft_test::Bytes;
using ft_test::FakeConnectionManager;
using ft_test::FakeDownloadManager;
using testing_support::frame;
using testing_support::FramedConnection;
using testing_support::FramedPump;
using testing_support::ScopedCapture;
using testing_support::thrownMessage;

namespace {

class Callbacks : public ft::Extension::ShareCallback, public ft::Extension::PeerCallback {
public:
  void shareAdvertised(std::uint32_t sid, std::uint32_t flags) override {
    log.push_back("advertised " + std::to_string(sid) + " " + std::to_string(flags));
  }
  void shareActivated(ft::ShareProxy* s) override {
    log.push_back("activated " + std::to_string(s->getShareId()));
  }
  void shareDeactivated(ft::ShareProxy* s) override {
    log.push_back("deactivated " + std::to_string(s->getShareId()));
  }
  void peerChanged(ft::ConnectionId, bool enabled) override {
    log.push_back(enabled ? "peer on" : "peer off");
  }
  std::vector<std::string> log;
};

class ExtensionTest : public ::testing::Test {
protected:
  ExtensionTest() : manager(&ext) {
    ext.addShareCallback(&callbacks);
    ext.addPeerCallback(&callbacks);
  }
  ~ExtensionTest() override {
    if (ext.hasConnection(id()))
      ext.closeConnection(&conn);
  }
  void enable() {
    ext.extensionEnabled(&conn, "FileTransfer");
    download = static_cast<FakeDownloadManager*>(ext.getDownloadManager(id()));
    ext.getUploadManager(id());
  }
  ft::ConnectionId id() { return ft::Extension::idOf(&conn); }
  void feedMsg(const Bytes& body) {
    pump.in.feed(frame(body.b));
    pump.run(&ext, &conn);
  }

  ft::proxy::Extension ext;
  FakeConnectionManager manager;
  Callbacks callbacks;
  FramedConnection conn;
  FramedPump pump;
  FakeDownloadManager* download = nullptr;
};

TEST_F(ExtensionTest, OnlyItsOwnNameEnablesAConnection) {
  ext.extensionEnabled(&conn, "Chat");
  EXPECT_FALSE(ext.hasConnection(id()));
  EXPECT_TRUE(callbacks.log.empty());
  enable();
  EXPECT_TRUE(ext.hasConnection(id()));
  EXPECT_EQ(callbacks.log, std::vector<std::string>{"peer on"});
  ext.extensionDisabled(&conn, "FileTransfer");
  EXPECT_FALSE(ext.hasConnection(id()));
  EXPECT_EQ(callbacks.log.back(), "peer off");
}

TEST_F(ExtensionTest, UnknownConnectionsAreRefused) {
  EXPECT_EQ(thrownMessage([&] { ext.readMsg(&pump.framed, &conn); }),
            "readMsg: unknown connection");
  EXPECT_EQ(thrownMessage([&] { ext.scheduleWriteMsg(id()); }),
            "scheduleWriteMsg: unknown connection");
}

TEST_F(ExtensionTest, ShareControlReachesTheDownloadManager) {
  enable();
  ScopedCapture log("ftExtension", 30);
  feedMsg(Bytes().u32(1).u32(7).u8(0).u32(1));
  feedMsg(Bytes().u32(1).u32(7).u8(1));
  feedMsg(Bytes().u32(1).u32(7).u8(2));
  EXPECT_EQ(download->log[0], "setShare 7 1");
  EXPECT_NE(std::find(download->log.begin(), download->log.end(), "withdrawn 7"),
            download->log.end());
  EXPECT_EQ(callbacks.log.back(), "advertised 7 1");
  EXPECT_TRUE(log.logger.contains("Unexpected share control code: 2"));
}

TEST_F(ExtensionTest, FileDataGoesToItsStreamUntilTheEndOfTheFile) {
  enable();
  ScopedCapture log("ftExtension", 100);
  download->addStream(FileId{7, 2});
  feedMsg(Bytes().u32(6).u32(7).u32(9).u16(3).raw("xyz"));
  EXPECT_TRUE(log.logger.contains("Data received for unknown id (7, 9)"));
  feedMsg(Bytes().u32(6).u32(7).u32(2).u16(5).raw("hello"));
  feedMsg(Bytes().u32(6).u32(7).u32(2).u16(0));
  EXPECT_TRUE(log.logger.contains("Download complete."));
  EXPECT_EQ(download->log.back(), "finish '' hello");
  EXPECT_EQ(download->getStream(FileId{7, 2}), nullptr);
}

TEST_F(ExtensionTest, AFailedWriteCancelsTheDownloadWithOneAbort) {
  enable();
  ScopedCapture log("ftExtension", 100);
  download->addStream(FileId{7, 2})->failWith = 2;
  feedMsg(Bytes().u32(6).u32(7).u32(2).u16(5).raw("hello"));
  EXPECT_TRUE(log.logger.contains("dataReady: disk full"));
  EXPECT_TRUE(log.logger.contains("Download cancelled."));
  // The stream ends with the failure, not as a complete file.
  EXPECT_EQ(download->log.back(), "finish 'disk full' ");
  EXPECT_EQ(conn.out.bytes(), frame(Bytes().u32(8).u32(7).u32(2).b));

  // When the writer refuses the abort, the download manager keeps it.
  download->addStream(FileId{7, 3})->failWith = 1;
  conn.hasWriter = false;
  feedMsg(Bytes().u32(6).u32(7).u32(3).u16(1).raw("h"));
  EXPECT_NE(std::find(download->log.begin(), download->log.end(), "queueAbort 3"),
            download->log.end());
}

// A peer's paths, names and texts reach the log on one line, as they read:
// no control character of theirs reaches a terminal the log is shown on.
TEST_F(ExtensionTest, APeersNamesAndTextsAreLoggedWithTheirControlsReplaced) {
  enable();
  ScopedCapture log("ftExtension", 100);
  const std::string hostile = "a\x1b[2J\r\nb\xE2\x80\xAE" "c\xC2\x9B";
  const std::string shown = "a?[2J??b?c?";
  feedMsg(Bytes().u32(1).u32(7).u8(0).u32(0));
  feedMsg(Bytes().u32(2).u32(7).str(hostile).u32(1));
  feedMsg(Bytes().u32(3).u32(7).u32(1).entry(hostile, 0, 4));
  feedMsg(Bytes().u32(4).str(hostile).u32(7).u32(1).u64(100));
  feedMsg(Bytes().u32(7).u32(7).u32(1).str(hostile));
  for (const std::string& line :
       {"directory '" + shown + "' of share 7 requested to depth 1", "  file " + shown + ", size=4",
        "0-18446744073709551615 of " + shown + " requested (uncompressed)",
        "Source aborting (7,1): " + shown})
    EXPECT_TRUE(log.logger.contains(line)) << line;
  for (const auto& line : log.logger.lines)
    EXPECT_EQ(line.text.find_first_of("\x1b\r\n\xE2\xC2"), std::string::npos) << line.text;
}

TEST_F(ExtensionTest, PendingOutputWaitsForWritableUnlessPrioritised) {
  enable();
  download->stepsHaveWork = true;
  ext.checkOutput(id());
  auto turns = [&] { return std::count(download->log.begin(), download->log.end(), "sendAborts"); };
  long before = turns();
  ext.scheduleWriteMsg(id());
  EXPECT_EQ(turns(), before);
  plat::ParameterSet::global().find("PrioritiseFileTransfer")->setParam("1", 0);
  ext.scheduleWriteMsg(id());
  plat::ParameterSet::global().find("PrioritiseFileTransfer")->unsetParam(0);
  EXPECT_EQ(turns(), before + 1);
}

TEST_F(ExtensionTest, ANewActiveShareDeactivatesAndReleasesThePrevious) {
  enable();
  download->setShare(7, 0);
  download->addEntry(new ft::ShareEntry("x", 0, 1, 0, 0, 0));
  new ft::ShareProxy(download, &ext);
  download->setShare(8, 0);
  new ft::ShareProxy(download, &ext);
  EXPECT_EQ(callbacks.log,
            (std::vector<std::string>{"peer on", "activated 7", "deactivated 7", "activated 8"}));
  // The first proxy is gone: it queued the release of its share.
  EXPECT_NE(std::find(download->log.begin(), download->log.end(), "queueRelease 7"),
            download->log.end());
  ft::ShareProxy* active = ext.getActiveShare();
  ASSERT_NE(active, nullptr);
  EXPECT_EQ(active->getShareId(), 8u);
  active->unref();
}

TEST_F(ExtensionTest, ADownloadManagersEndOrphansItsShares) {
  enable();
  download->setShare(7, 0);
  new ft::ShareProxy(download, &ext);
  ft::ShareProxy* held = ext.getActiveShare();
  ext.closeConnection(&conn);
  EXPECT_EQ(ext.getActiveShare(), nullptr);
  EXPECT_EQ(held->getManager(), nullptr);
  held->unref();
}

TEST(ShareProxyTest, DescribesItsShare) {
  struct Case {
    std::vector<std::pair<const char*, std::uint64_t>> entries; // size ~0: a directory
    const char* text;
  } cases[] = {
      {{{"x", 1}}, "x (1 bytes)"},
      {{{"d", ~0ull}, {"d/a", 1024 * 1024}, {"d/b", 2 * 1024 * 1024}}, "d (3.00 Mb in 2 files)"},
      {{{"a", 1}, {"b", 1}}, "multiple files (2 bytes in 2 files)"},
      {{{"a", 1024}}, "a (1024 bytes)"},
      {{{"a", 1024 * 1024}}, "a (1024.00 Kb)"},
      {{{"d", ~0ull}, {"d/a", 5}}, "d (5 bytes in 1 file)"},
  };
  for (const Case& c : cases) {
    ft::proxy::Extension ext;
    FakeDownloadManager manager(&ext, 1);
    for (auto& e : c.entries) {
      bool dir = e.second == ~0ull;
      manager.addEntry(new ft::ShareEntry(e.first, dir ? 1 : 0, dir ? 0 : e.second, 0, 0, 0));
    }
    new ft::ShareProxy(&manager, &ext);
    ft::ShareProxy* share = ext.getActiveShare();
    EXPECT_STREQ(share->describe(), c.text);
    share->unref();
    ext.setActiveShare(nullptr);
  }
}

TEST(ShareProxyTest, IsDeletedOnceWhenItsCountReachesZero) {
  ft::proxy::Extension ext;
  FakeDownloadManager manager(&ext, 1);
  manager.setShare(5, 0);
  ft::ShareProxy* share = new ft::ShareProxy(&manager, &ext);
  share->ref();                // 2: the extension's and ours
  ext.setActiveShare(nullptr); // 1
  EXPECT_TRUE(manager.log.size() == 1);
  share->unref(); // 0: deleted, releasing the share
  EXPECT_EQ(manager.log.back(), "sendReleases");
  EXPECT_EQ(std::count(manager.log.begin(), manager.log.end(), "queueRelease 5"), 1);
}

} // namespace
