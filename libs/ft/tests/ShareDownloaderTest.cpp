#include "ft/ShareDownloader.h"

#include "CaptureLogger.h"
#include "FakeDownloadsUI.h"
#include "FileContents.h"
#include "FileSizeLimit.h"
#include "FramedConnection.h"
#include "ManualClock.h"
#include "RecordingExtension.h"
#include "TempDir.h"
#include "ft/ShareEntry.h"
#include "ft/ShareProxy.h"
#include "ft/proxy/Extension.h"
#include "ft/unix/UnixFileTransferManager.h"
#include "plat/FileOps.h"
#include "plat/ParameterSet.h"
#include "plat/TimerManager.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using ft::ShareDownloader;
using ft_test::Bytes;
using ft_test::RecordingExtension;
using testing_support::frame;
using testing_support::FramedConnection;
using testing_support::FramedPump;
using testing_support::ManualClock;
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

// Records the downloader's reports as lines; a hook may act inside a report.
class Reports : public ShareDownloader::SDCallback {
public:
  void downloadStarted(ShareDownloader::Id, const std::set<std::string>& top) override {
    std::string s = "started";
    for (const std::string& n : top)
      s += " " + n;
    add(s);
  }
  void setRootDir(ShareDownloader::Id, const char*) override { add("root"); }
  void downloadNote(ShareDownloader::Id, const char*) override {}
  void setTopLevelPath(ShareDownloader::Id, const char* path) override { paths.push_back(path); }
  void downloadFailed(ShareDownloader::Id id, const char* m, bool retry) override {
    add(std::string("failed ") + m + (retry ? " (retryable)" : ""));
    if (onFailed)
      onFailed(id);
  }
  void showMessage(const char* text) override { add(std::string("message ") + text); }
  void downloadProgress(ShareDownloader::Id id, std::uint64_t done, std::uint64_t total,
                        std::uint64_t, std::uint64_t) override {
    lastDone = done;
    lastTotal = total;
    if (onProgress)
      onProgress(id);
  }
  void downloadComplete(ShareDownloader::Id id) override {
    add("complete");
    if (onComplete)
      onComplete(id);
  }
  void add(const std::string& s) { log.push_back(s); }
  std::vector<std::string> log;
  std::vector<std::string> paths;
  std::uint64_t lastDone = 0, lastTotal = 0;
  std::function<void(ShareDownloader::Id)> onFailed, onComplete, onProgress;
};

struct File {
  std::string name;
  std::uint32_t flags;
  std::string data;
};

class ShareDownloaderTest : public ::testing::Test {
protected:
  ShareDownloaderTest() : manager(&ext) {
    ext.extensionEnabled(&conn, "FileTransfer");
    peer.addConnection(&peerConn);
    sd.reset(new ShareDownloader);
    sd->setCallback(&reports);
  }
  ~ShareDownloaderTest() override {
    if (share)
      share->unref();
    sd.reset();
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
  std::vector<std::string> peerSaw(const std::string& prefix) {
    std::vector<std::string> all = peerSaw(), some;
    for (const std::string& c : all)
      if (c.compare(0, prefix.size(), prefix) == 0)
        some.push_back(c);
    return some;
  }
  void send(const Bytes& body) {
    in.in.feed(frame(body.b));
    in.run(&ext, &conn);
  }
  // Lists share 7 with the files and makes it the test's share.
  // The listing goes in messages of at most 16 entries, so that long names
  // fit their frames.
  void offer(const std::vector<File>& files) {
    listed = files;
    send(Bytes().u32(1).u32(7).u8(0).u32(1));
    for (size_t first = 0; first < files.size(); first += 16) {
      size_t count = std::min<size_t>(16, files.size() - first);
      Bytes listing;
      listing.u32(3).u32(7).u32(static_cast<std::uint32_t>(count));
      for (size_t i = first; i < first + count; i++)
        listing.entry(files[i].name, files[i].flags, files[i].data.size());
      send(listing);
    }
    send(Bytes().u32(3).u32(7).u32(0));
    share = ext.getActiveShare();
    ASSERT_NE(share, nullptr);
    peerSaw();
  }
  // Sends every listed file's data.
  void deliverAll() {
    for (std::uint32_t i = 0; i < listed.size(); i++)
      if (!listed[i].flags)
        deliver(i);
  }
  void deliver(std::uint32_t index) {
    const std::string& data = listed[index].data;
    if (!data.empty())
      send(Bytes().u32(6).u32(7).u32(index).u16(static_cast<std::uint16_t>(data.size())).raw(data));
    send(Bytes().u32(6).u32(7).u32(index).u16(0));
  }
  ShareDownloader::Id downloadId() {
    return ShareDownloader::Id(
        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(share->getManager())), 7);
  }
  std::string at(const std::string& rel) { return dir.path() + "/" + rel; }
  bool exists(const std::string& rel) { return access(at(rel).c_str(), F_OK) == 0; }

  TempDir dir;
  ft::proxy::Extension ext;
  ft::UnixFileTransferManager manager;
  FramedConnection conn;
  FramedPump in;
  RecordingExtension peer;
  FramedConnection peerConn;
  FramedPump pump;
  size_t seen = 0;
  Reports reports;
  std::unique_ptr<ShareDownloader> sd;
  ft::ShareProxy* share = nullptr;
  std::vector<File> listed;
};

std::vector<File> manyFiles(int n) {
  std::vector<File> files;
  for (int i = 0; i < n; i++)
    files.push_back({"f" + std::to_string(i) + ".txt", 0, "data " + std::to_string(i)});
  return files;
}

TEST_F(ShareDownloaderTest, TwentyFilesGoEightAtATimeAndLandWhole) {
  offer(manyFiles(20));
  sd->download(share, dir.path().c_str());
  EXPECT_EQ(peerSaw("FileReq").size(), 8u);
  EXPECT_EQ(reports.log, std::vector<std::string>({"started f0.txt f1.txt f10.txt f11.txt "
                                                   "f12.txt f13.txt f14.txt f15.txt f16.txt "
                                                   "f17.txt f18.txt f19.txt f2.txt f3.txt "
                                                   "f4.txt f5.txt f6.txt f7.txt f8.txt f9.txt",
                                                   "root"}));
  deliver(0);
  std::vector<std::string> next = peerSaw("FileReq");
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].compare(0, 17, "FileReq f8.txt (7"), 0) << next[0];
  for (std::uint32_t i = 1; i < 20; i++)
    deliver(i);
  EXPECT_EQ(reports.log.back(), "complete");
  EXPECT_EQ(sd->downloadCount(), 0u);
  EXPECT_EQ(peerSaw("ShareRelease"), std::vector<std::string>({"ShareRelease 7"}));
  for (const File& f : listed)
    EXPECT_EQ(testing_support::readFile(at(f.name)), f.data) << f.name;
  EXPECT_EQ(reports.lastDone, reports.lastTotal);
}

TEST_F(ShareDownloaderTest, ConcurrencyFollowsTheParameter) {
  ScopedParam p("ftConcurrency", "3");
  offer(manyFiles(5));
  sd->download(share, dir.path().c_str());
  EXPECT_EQ(peerSaw("FileReq").size(), 3u);
}

TEST_F(ShareDownloaderTest, AHugeConcurrencyIsCappedAtSixtyFourFiles) {
  ScopedParam p("ftConcurrency", "2147483647");
  offer(manyFiles(100));
  sd->download(share, dir.path().c_str());
  EXPECT_EQ(peerSaw("FileReq").size(), 64u);
}

TEST_F(ShareDownloaderTest, SixtyFourFilesGoAtOnceAtTheLargestConcurrency) {
  ScopedParam p("ftConcurrency", "64");
  offer(manyFiles(100));
  sd->download(share, dir.path().c_str());
  EXPECT_EQ(peerSaw("FileReq").size(), 64u);
  deliver(0);
  EXPECT_EQ(peerSaw("FileReq").size(), 1u);
}

TEST_F(ShareDownloaderTest, ClashingNamesAreNumberedBeforeTheLastDot) {
  testing_support::writeFile(at("report.txt"), "old");
  testing_support::writeFile(at("report (1).txt"), "old");
  mkdir(at("photos").c_str(), 0700);
  mkdir(at("v1.2").c_str(), 0700);
  testing_support::writeFile(at("v1.2/notes"), "old");
  testing_support::writeFile(at("README"), "old");
  offer({{"report.txt", 0, "new report"},
         {"photos", 1, ""},
         {"photos/a.jpg", 0, "jpg"},
         {"README", 0, "readme"},
         {"v1.2", 1, ""},
         {"v1.2/notes", 0, "notes"}});
  sd->download(share, dir.path().c_str());
  deliverAll();
  EXPECT_EQ(reports.log.back(), "complete");
  EXPECT_EQ(testing_support::readFile(at("report (2).txt")), "new report");
  EXPECT_EQ(testing_support::readFile(at("photos (1)/a.jpg")), "jpg");
  EXPECT_EQ(testing_support::readFile(at("README (1)")), "readme");
  EXPECT_EQ(testing_support::readFile(at("v1 (1).2/notes")), "notes");
  EXPECT_EQ(testing_support::readFile(at("report.txt")), "old");
  EXPECT_EQ(reports.paths.front(), dir.path() + "/report (2).txt");
}

// Something of the user's already stands in the download folder where an
// entry is to go: the entry is stored under a numbered name, and what stood
// there, and anything a link there points to, is left as it was.
enum class Occupant { DanglingLink, LinkToAFile, LinkToAFolder, Folder };

struct OccupiedNameCase {
  const char* name;
  Occupant occupant;
  // At the entry's first component.
  const char* at;
  std::vector<File> files;
  // Where the last file of the listing lands.
  const char* landed;
};

class OccupiedNameTest : public ShareDownloaderTest,
                         public ::testing::WithParamInterface<OccupiedNameCase> {};

TEST_P(OccupiedNameTest, TheEntryIsNumberedAndTheOccupantLeftAlone) {
  const OccupiedNameCase& c = GetParam();
  std::string outside = at("outside");
  ASSERT_EQ(mkdir(outside.c_str(), 0700), 0);
  std::string target;
  switch (c.occupant) {
  case Occupant::DanglingLink:
    target = outside + "/nothing-yet";
    break;
  case Occupant::LinkToAFile:
    target = outside + "/theirs";
    testing_support::writeFile(target, "theirs");
    break;
  case Occupant::LinkToAFolder:
    target = outside;
    break;
  case Occupant::Folder:
    ASSERT_EQ(mkdir(at(c.at).c_str(), 0700), 0);
    break;
  }
  if (!target.empty()) {
    ASSERT_EQ(symlink(target.c_str(), at(c.at).c_str()), 0);
  }
  offer(c.files);
  sd->download(share, dir.path().c_str());
  deliverAll();
  EXPECT_EQ(reports.log.back(), "complete");
  EXPECT_EQ(testing_support::readFile(at(c.landed)), listed.back().data);
  if (!target.empty()) {
    char text[4096];
    ssize_t n = readlink(at(c.at).c_str(), text, sizeof(text));
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(text, static_cast<size_t>(n)), target);
  }
  // Nothing went through a link: the folder outside holds what it held.
  std::vector<std::string> held;
  if (DIR* d = opendir(outside.c_str())) {
    while (dirent* e = readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
        held.push_back(e->d_name);
    closedir(d);
  }
  EXPECT_EQ(held, c.occupant == Occupant::LinkToAFile ? std::vector<std::string>({"theirs"})
                                                      : std::vector<std::string>());
  if (c.occupant == Occupant::LinkToAFile) {
    EXPECT_EQ(testing_support::readFile(target), "theirs");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Occupants, OccupiedNameTest,
    ::testing::Values(
        OccupiedNameCase{"DanglingLinkAtAFile",
                         Occupant::DanglingLink,
                         "report.txt",
                         {{"report.txt", 0, "new"}},
                         "report (1).txt"},
        OccupiedNameCase{"DanglingLinkAtAFolder",
                         Occupant::DanglingLink,
                         "photos",
                         {{"photos", 1, ""}, {"photos/a.jpg", 0, "jpg"}},
                         "photos (1)/a.jpg"},
        OccupiedNameCase{"DanglingLinkAtAnUnlistedFolder",
                         Occupant::DanglingLink,
                         "photos",
                         {{"photos/a.jpg", 0, "jpg"}},
                         "photos (1)/a.jpg"},
        OccupiedNameCase{
            "LinkToAFileAtAFile", Occupant::LinkToAFile, "x", {{"x", 0, "new"}}, "x (1)"},
        OccupiedNameCase{"LinkToAFolderAtAnUnlistedFolder",
                         Occupant::LinkToAFolder,
                         "d",
                         {{"d/x", 0, "new"}},
                         "d (1)/x"},
        OccupiedNameCase{"FolderAtAFile", Occupant::Folder, "x", {{"x", 0, "new"}}, "x (1)"}),
    [](const ::testing::TestParamInfo<OccupiedNameCase>& info) {
      return std::string(info.param.name);
    });

// A listing that names one thing twice, or a file and a folder alike: each
// entry lands whole under a name of its own, without a failure or a retry.
struct RepeatedNameCase {
  const char* name;
  std::vector<File> files;
  // Local name of each file of the listing, in listing order.
  std::vector<const char*> landed;
};

class RepeatedNameTest : public ShareDownloaderTest,
                         public ::testing::WithParamInterface<RepeatedNameCase> {};

TEST_P(RepeatedNameTest, EachEntryLandsUnderANameOfItsOwn) {
  const RepeatedNameCase& c = GetParam();
  offer(c.files);
  sd->download(share, dir.path().c_str());
  deliverAll();
  EXPECT_EQ(reports.log.back(), "complete");
  for (const std::string& line : reports.log)
    EXPECT_EQ(line.find("failed"), std::string::npos) << line;
  size_t n = 0;
  for (const File& f : listed)
    if (!f.flags) {
      ASSERT_LT(n, c.landed.size());
      EXPECT_EQ(testing_support::readFile(at(c.landed[n++])), f.data) << f.name;
    }
  EXPECT_EQ(n, c.landed.size());
}

INSTANTIATE_TEST_SUITE_P(
    Listings, RepeatedNameTest,
    ::testing::Values(
        RepeatedNameCase{"AFileTwice", {{"x", 0, "one"}, {"x", 0, "two"}}, {"x", "x (1)"}},
        RepeatedNameCase{"AFileThrice",
                         {{"a.txt", 0, "one"}, {"a.txt", 0, "two"}, {"a.txt", 0, "three"}},
                         {"a.txt", "a (1).txt", "a (2).txt"}},
        RepeatedNameCase{"AFileAfterAFolderOfItsName",
                         {{"d", 1, ""}, {"d/f", 0, "in"}, {"d", 0, "two"}, {"d/g", 0, "in too"}},
                         {"d/f", "d (1)", "d/g"}},
        RepeatedNameCase{"AFileAfterAFolderMadeForAnotherFile",
                         {{"d/f", 0, "in"}, {"d", 0, "two"}},
                         {"d/f", "d (1)"}},
        RepeatedNameCase{"AFolderAfterAFileOfItsName",
                         {{"d", 0, "one"}, {"d", 1, ""}, {"d/f", 0, "in"}},
                         {"d", "d (1)/f"}},
        RepeatedNameCase{"AFolderTwice",
                         {{"d", 1, ""}, {"d/f", 0, "in"}, {"d", 1, ""}, {"d/g", 0, "in too"}},
                         {"d/f", "d/g"}}),
    [](const ::testing::TestParamInfo<RepeatedNameCase>& info) {
      return std::string(info.param.name);
    });

// A name with a part longer than a folder can hold (255 bytes) cannot be
// stored under any name: the share is refused at once, and nothing of it is
// made or requested. A part of exactly 255 bytes is stored.
struct LongNameCase {
  const char* name;
  std::vector<File> files;
  bool refused;
  // How the failure quotes the long name: its first 64 bytes, on one line.
  std::string quoted;
};

class LongNameTest : public ShareDownloaderTest,
                     public ::testing::WithParamInterface<LongNameCase> {};

TEST_P(LongNameTest, APartLongerThanAFolderHoldsRefusesTheShare) {
  offer(GetParam().files);
  sd->download(share, dir.path().c_str());
  if (!GetParam().refused) {
    deliverAll();
    EXPECT_EQ(reports.log.back(), "complete");
    EXPECT_EQ(testing_support::readFile(at(listed.back().name)), listed.back().data);
    return;
  }
  ASSERT_EQ(reports.log.size(), 3u);
  const std::string& line = reports.log[2];
  EXPECT_EQ(line, "failed " + GetParam().quoted +
                      "... cannot be saved: a part of its name is longer than 255 bytes.");
  EXPECT_EQ(line.find("(retryable)"), std::string::npos) << line;
  EXPECT_FALSE(sd->hasDownload(downloadId()));
  std::vector<std::string> saw = peerSaw();
  EXPECT_EQ(std::count_if(saw.begin(), saw.end(),
                          [](const std::string& s) { return s.rfind("FileReq", 0) == 0; }),
            0);
  EXPECT_NE(std::find(saw.begin(), saw.end(), "ShareRelease 7"), saw.end());
  DIR* d = opendir(dir.path().c_str());
  ASSERT_NE(d, nullptr);
  int held = 0;
  while (dirent* e = readdir(d))
    held += std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0;
  closedir(d);
  EXPECT_EQ(held, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LongNameTest,
    ::testing::Values(
        LongNameCase{"APartOfExactly255Bytes",
                     {{"d", 1, ""}, {"d/" + std::string(255, 'a'), 0, "fits"}},
                     false,
                     ""},
        LongNameCase{"AFolderPartOf256BytesAfterAFile",
                     {{"x", 0, "first"}, {"d/" + std::string(256, 'b') + "/y", 0, "too long"}},
                     true,
                     "d/" + std::string(62, 'b')},
        LongNameCase{"ALastPartOf1000BytesWithAControl",
                     {{std::string(60, 'c') + "\x1b[2J" + std::string(935, 'c'), 0, "too long"}},
                     true,
                     std::string(60, 'c') + "?[2J"}),
    [](const ::testing::TestParamInfo<LongNameCase>& info) {
      return std::string(info.param.name);
    });

// A name longer as a whole than a path in the download folder can be cannot
// be stored either, though each of its parts fits: the share is refused at
// once, as for a part that is too long.
TEST_F(ShareDownloaderTest, ANameLongerThanAPathInTheFolderCanBeRefusesTheShare) {
  std::string folder = dir.path();
  while (folder.size() < PATH_MAX - 900)
    folder += "/" + std::string(200, 'f');
  ASSERT_TRUE(plat::mkDirWithParents(folder.c_str(), true, false));
  std::string name = "d";
  while (name.size() < 1000)
    name += "/" + std::string(100, 'n');
  offer({{"first", 0, "x"}, {name, 0, "too long"}});
  sd->download(share, folder.c_str());
  ASSERT_EQ(reports.log.size(), 3u);
  const std::string& line = reports.log[2];
  EXPECT_EQ(line.rfind("failed d/" + std::string(62, 'n') +
                           "... cannot be saved: its name is longer than ",
                       0),
            0u)
      << line;
  EXPECT_NE(line.find("the most a path in the download folder can hold."), std::string::npos)
      << line;
  EXPECT_EQ(line.find("(retryable)"), std::string::npos) << line;
  EXPECT_FALSE(sd->hasDownload(downloadId()));
  EXPECT_TRUE(peerSaw("FileReq").empty());
  EXPECT_FALSE(testing_support::fileExists(folder + "/first"));
}

// Every folder above every name is remembered while a share is saved. Deep
// names that differ from their first part on would make that record grow
// with the square of their length (a 256 MiB listing would hold tens of
// gigabytes): the download ends once the record holds far more than the
// listing.
TEST_F(ShareDownloaderTest,
       DeepNamesThatAllDifferEndTheDownloadBeforeTheirRecordOutgrowsTheListing) {
  std::string deep;
  while (deep.size() < ft::ShareEntry::maxNameLength - 8)
    deep += "/a";
  std::vector<File> files;
  for (int k = 0; k < 40; k++)
    files.push_back({"p" + std::to_string(k) + deep, 1, ""});
  offer(files);
  sd->download(share, dir.path().c_str());
  ASSERT_FALSE(reports.log.empty());
  const std::string& line = reports.log.back();
  EXPECT_NE(line.find(" cannot be saved: its folders are nested too deeply."), std::string::npos)
      << line;
  EXPECT_EQ(line.find("(retryable)"), std::string::npos) << line;
  EXPECT_FALSE(sd->hasDownload(downloadId()));
  // Some folders were made before the record passed its bound, not all.
  EXPECT_TRUE(testing_support::fileExists(at("p0" + deep)));
  EXPECT_FALSE(testing_support::fileExists(at("p39")));
  std::vector<std::string> saw = peerSaw();
  EXPECT_NE(std::find(saw.begin(), saw.end(), "ShareRelease 7"), saw.end());
}

bool everythingExists(const char*) {
  return true;
}

TEST_F(ShareDownloaderTest, TooManyClashesIsRetryableAndRetryStartsTheFile) {
  offer({{"x", 0, "payload"}});
  ScopedParam p("ftConcurrency", "1");
  auto saved = ShareDownloader::Download::fileExistsFn;
  ShareDownloader::Download::fileExistsFn = everythingExists;
  sd->download(share, dir.path().c_str());
  ShareDownloader::Download::fileExistsFn = saved;
  EXPECT_EQ(reports.log, std::vector<std::string>(
                             {"started x", "root", "failed Too many name clashes (retryable)"}));
  EXPECT_TRUE(peerSaw("FileReq").empty());
  EXPECT_TRUE(sd->hasDownload(downloadId()));
  EXPECT_TRUE(sd->resume(downloadId()));
  EXPECT_EQ(peerSaw("FileReq").size(), 1u);
  deliver(0);
  EXPECT_EQ(reports.log.back(), "complete");
  EXPECT_EQ(testing_support::readFile(at("x")), "payload");
}

// Another program creates the file between the clash check and the
// exclusive create: the retry checks the name again and numbers it.
std::string raceFolder;
std::string raceName = "x";
bool createdRightAfterTheCheck(const char* path) {
  if (raceFolder + "/" + raceName == path)
    testing_support::writeFile(path, "theirs");
  return false;
}

TEST_F(ShareDownloaderTest, ARetryAfterALostCreateRaceChecksTheNameAgain) {
  offer({{"x", 0, "payload"}});
  ScopedParam p("ftConcurrency", "1");
  raceFolder = dir.path();
  auto saved = ShareDownloader::Download::fileExistsFn;
  ShareDownloader::Download::fileExistsFn = createdRightAfterTheCheck;
  sd->download(share, dir.path().c_str());
  ShareDownloader::Download::fileExistsFn = saved;
  ASSERT_EQ(reports.log.size(), 3u);
  EXPECT_EQ(reports.log[2], "failed open: File exists (17) (retryable)");
  EXPECT_TRUE(sd->resume(downloadId()));
  EXPECT_EQ(peerSaw("FileReq").size(), 1u);
  deliver(0);
  EXPECT_EQ(reports.log.back(), "complete");
  EXPECT_EQ(testing_support::readFile(at("x")), "theirs");
  EXPECT_EQ(testing_support::readFile(at("x (1)")), "payload");
}

// The listing names no folder "a", so "a" is made as the parent of "a/b";
// a file "a" made by another program after the check must not fail every
// retry: the retry finds the name taken and numbers the folder.
TEST_F(ShareDownloaderTest, ARetryAfterAFileTookAParentFolderNameNumbersTheFolder) {
  offer({{"a/b", 0, "payload"}});
  ScopedParam p("ftConcurrency", "1");
  raceFolder = dir.path();
  raceName = "a";
  auto saved = ShareDownloader::Download::fileExistsFn;
  ShareDownloader::Download::fileExistsFn = createdRightAfterTheCheck;
  sd->download(share, dir.path().c_str());
  ShareDownloader::Download::fileExistsFn = saved;
  raceName = "x";
  ASSERT_EQ(reports.log.size(), 3u);
  EXPECT_EQ(reports.log[2], "failed mkDir(" + dir.path() + "/a/): File exists (17) (retryable)");
  EXPECT_TRUE(sd->resume(downloadId()));
  EXPECT_EQ(peerSaw("FileReq").size(), 1u);
  deliver(0);
  EXPECT_EQ(reports.log.back(), "complete");
  EXPECT_EQ(testing_support::readFile(at("a")), "theirs");
  EXPECT_EQ(testing_support::readFile(at("a (1)/b")), "payload");
}

TEST_F(ShareDownloaderTest, ThousandClashesExhaustTheTries) {
  testing_support::writeFile(at("x"), "");
  for (int i = 1; i <= 1000; i++)
    testing_support::writeFile(at("x (" + std::to_string(i) + ")"), "");
  ScopedParam p("ftConcurrency", "1");
  offer({{"x", 0, "payload"}});
  sd->download(share, dir.path().c_str());
  EXPECT_EQ(reports.log[2], "failed Too many name clashes (retryable)");
}

TEST_F(ShareDownloaderTest, OnlyFoldersCompleteAtOnce) {
  offer({{"a", 1, ""}, {"a/b", 1, ""}, {"c", 1, ""}});
  sd->download(share, dir.path().c_str());
  EXPECT_EQ(reports.log, std::vector<std::string>({"started a c", "root", "complete"}));
  EXPECT_EQ(sd->downloadCount(), 0u);
  EXPECT_TRUE(exists("a/b"));
  EXPECT_TRUE(exists("c"));
  std::vector<std::string> saw = peerSaw();
  EXPECT_EQ(std::count_if(saw.begin(), saw.end(),
                          [](const std::string& s) { return s.rfind("FileReq", 0) == 0; }),
            0);
}

TEST_F(ShareDownloaderTest, CancelAbortsEachFileInFlightAndReleasesOnce) {
  offer(manyFiles(5));
  ScopedParam p("ftConcurrency", "3");
  sd->download(share, dir.path().c_str());
  peerSaw();
  sd->cancel(downloadId());
  std::vector<std::string> saw = peerSaw();
  EXPECT_EQ(saw, std::vector<std::string>(
                     {"FileAbort (7,0)", "FileAbort (7,1)", "FileAbort (7,2)", "ShareRelease 7"}));
  EXPECT_FALSE(sd->hasDownload(downloadId()));
  EXPECT_FALSE(exists("f0.txt"));
  // Cancelled streams report nothing.
  EXPECT_EQ(reports.log.back(), "root");
}

TEST_F(ShareDownloaderTest, AFailedFileEndsTheWholeDownload) {
  offer(manyFiles(4));
  sd->download(share, dir.path().c_str());
  peerSaw();
  send(Bytes().u32(7).u32(7).u32(1).str("Permission denied"));
  EXPECT_EQ(reports.log.back(), "failed Permission denied");
  EXPECT_FALSE(sd->hasDownload(downloadId()));
  // The other files no longer run unreported.
  std::vector<std::string> aborts = peerSaw("FileAbort");
  EXPECT_EQ(aborts.size(), 3u);
  EXPECT_FALSE(exists("f0.txt"));
}

TEST_F(ShareDownloaderTest, ClosingTheConnectionFailsTheDownloadOnce) {
  offer(manyFiles(4));
  sd->download(share, dir.path().c_str());
  ext.closeConnection(&conn);
  EXPECT_EQ(reports.log.back(), "failed Connection closed");
  EXPECT_EQ(std::count(reports.log.begin(), reports.log.end(), "failed Connection closed"), 1);
  EXPECT_FALSE(sd->hasDownload(downloadId()));
}

TEST_F(ShareDownloaderTest, DestroyingTheDownloaderAbortsItsFiles) {
  offer(manyFiles(4));
  sd->download(share, dir.path().c_str());
  peerSaw();
  sd.reset();
  EXPECT_EQ(peerSaw("FileAbort").size(), 4u);
  // Data arriving afterwards finds no stream (and no dangling callback).
  deliver(0);
}

TEST_F(ShareDownloaderTest, DestroyingTheDownloaderAfterThePeerHasGoneEndsItsFilesQuietly) {
  offer(manyFiles(4));
  sd->download(share, dir.path().c_str());
  conn.peerGone = true;
  testing_support::ScopedCapture log("ShareDownloader", 0);
  EXPECT_NO_THROW(sd.reset());
  EXPECT_TRUE(log.logger.contains("Aborting a file failed: write"));
  EXPECT_TRUE(log.logger.contains("Releasing a share failed: write"));
  // Every file was ended and removed, none left reporting to the downloader.
  for (int i = 0; i < 4; i++)
    EXPECT_FALSE(exists("f" + std::to_string(i) + ".txt")) << i;
  conn.peerGone = false;
  deliver(0);
}

TEST_F(ShareDownloaderTest, CancelFromInsideAReportIsSafe) {
  offer(manyFiles(3));
  reports.onFailed = [this](ShareDownloader::Id id) { sd->cancel(id); };
  sd->download(share, dir.path().c_str());
  send(Bytes().u32(7).u32(7).u32(0).str("gone"));
  EXPECT_EQ(sd->downloadCount(), 0u);
}

TEST_F(ShareDownloaderTest, PauseHoldsTheLimitAndResumeGoesOn) {
  offer({{"a", 0, "abc"}});
  sd->download(share, dir.path().c_str());
  sd->pause(downloadId());
  EXPECT_TRUE(sd->resume(downloadId()));
  deliver(0);
  EXPECT_EQ(reports.log.back(), "complete");
  // A download that is gone cannot be resumed.
  EXPECT_FALSE(sd->resume(downloadId()));
}

TEST_F(ShareDownloaderTest, AnEndHeldByThePauseCanEndTheDownloadInsideResume) {
  offer({{"a", 0, "abc"}, {"b", 0, "defg"}});
  sd->download(share, dir.path().c_str());
  sd->pause(downloadId());
  deliver(0);
  deliver(1);
  // Both files are in, held in their buffers, and their ends wait for the
  // resume.
  EXPECT_EQ(reports.log.back(), "root");
  EXPECT_EQ(testing_support::readFile(at("a")), "");
  // The owner lets the downloader go as soon as it reports the end.
  reports.onComplete = [this](ShareDownloader::Id) { sd.reset(); };
  sd->resume(downloadId());
  EXPECT_EQ(sd, nullptr);
  EXPECT_EQ(reports.log.back(), "complete");
  EXPECT_EQ(testing_support::readFile(at("a")), "abc");
  EXPECT_EQ(testing_support::readFile(at("b")), "defg");
  EXPECT_EQ(peerSaw("ShareRelease"), std::vector<std::string>({"ShareRelease 7"}));
}

// Where the progress report that the owner acts on comes from.
enum class ProgressFrom {
  ResumeWritingAHeldEnd,  // the whole file and its end came in while paused
  ResumeWritingHeldBytes, // bytes came in while paused, the end has not
  ReceivedBytes,          // bytes written as they arrive
};
// What the owner does inside that report.
enum class OwnerStep { LetTheDownloaderGo, CancelTheDownload };

struct ProgressEndCase {
  const char* name;
  ProgressFrom from;
  OwnerStep step;
};

class ProgressEndTest : public ShareDownloaderTest,
                        public ::testing::WithParamInterface<ProgressEndCase> {};

TEST_P(ProgressEndTest, TheOwnerCanEndTheDownloadInsideAProgressReport) {
  offer({{"a", 0, "abc"}});
  sd->download(share, dir.path().c_str());
  peerSaw();
  const ProgressFrom from = GetParam().from;
  if (from != ProgressFrom::ReceivedBytes) {
    sd->pause(downloadId());
    if (from == ProgressFrom::ResumeWritingAHeldEnd)
      deliver(0);
    else
      send(Bytes().u32(6).u32(7).u32(0).u16(3).raw("abc"));
    EXPECT_EQ(testing_support::readFile(at("a")), "");
  }
  int reportsSeen = 0;
  reports.onProgress = [this, &reportsSeen](ShareDownloader::Id id) {
    reportsSeen++;
    if (GetParam().step == OwnerStep::LetTheDownloaderGo)
      sd.reset();
    else
      sd->cancel(id);
  };
  if (from == ProgressFrom::ReceivedBytes)
    send(Bytes().u32(6).u32(7).u32(0).u16(3).raw("abc"));
  else
    EXPECT_FALSE(sd->resume(downloadId()));
  EXPECT_EQ(reportsSeen, 1);
  if (GetParam().step == OwnerStep::LetTheDownloaderGo)
    EXPECT_EQ(sd, nullptr);
  else
    EXPECT_FALSE(sd->hasDownload(downloadId()));
  // The file was ended as cancelled, not taken for a complete one.
  EXPECT_EQ(reports.log.back(), "root");
  EXPECT_FALSE(exists("a"));
  EXPECT_EQ(peerSaw("ShareRelease"), std::vector<std::string>({"ShareRelease 7"}));
  // An end arriving afterwards finds no stream.
  send(Bytes().u32(6).u32(7).u32(0).u16(0));
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ProgressEndTest,
    ::testing::Values(
        ProgressEndCase{"LetGoWhileResumeWritesAHeldEnd", ProgressFrom::ResumeWritingAHeldEnd,
                        OwnerStep::LetTheDownloaderGo},
        ProgressEndCase{"CancelWhileResumeWritesAHeldEnd", ProgressFrom::ResumeWritingAHeldEnd,
                        OwnerStep::CancelTheDownload},
        ProgressEndCase{"LetGoWhileResumeWritesHeldBytes", ProgressFrom::ResumeWritingHeldBytes,
                        OwnerStep::LetTheDownloaderGo},
        ProgressEndCase{"CancelWhileResumeWritesHeldBytes", ProgressFrom::ResumeWritingHeldBytes,
                        OwnerStep::CancelTheDownload},
        ProgressEndCase{"LetGoWhileReceivedBytesAreWritten", ProgressFrom::ReceivedBytes,
                        OwnerStep::LetTheDownloaderGo},
        ProgressEndCase{"CancelWhileReceivedBytesAreWritten", ProgressFrom::ReceivedBytes,
                        OwnerStep::CancelTheDownload}),
    [](const ::testing::TestParamInfo<ProgressEndCase>& info) {
      return std::string(info.param.name);
    });

struct WriteFailureEndCase {
  const char* name;
  bool whileResuming; // else while received bytes are written
  OwnerStep step;
};

class WriteFailureEndTest : public ShareDownloaderTest,
                            public ::testing::WithParamInterface<WriteFailureEndCase> {};

TEST_P(WriteFailureEndTest, TheOwnerCanEndTheDownloadInsideAWriteFailureReport) {
  offer({{"a", 0, "abc"}});
  sd->download(share, dir.path().c_str());
  peerSaw();
  int reportsSeen = 0;
  reports.onFailed = [this, &reportsSeen](ShareDownloader::Id id) {
    reportsSeen++;
    if (GetParam().step == OwnerStep::LetTheDownloaderGo)
      sd.reset();
    else
      sd->cancel(id);
  };
  if (GetParam().whileResuming) {
    sd->pause(downloadId());
    send(Bytes().u32(6).u32(7).u32(0).u16(3).raw("abc"));
    bool resumed = true;
    {
      // A full disk: the held bytes cannot be written out.
      testing_support::FileSizeLimit full(0);
      resumed = sd->resume(downloadId());
    }
    EXPECT_FALSE(resumed);
  } else {
    testing_support::FileSizeLimit full(0);
    send(Bytes().u32(6).u32(7).u32(0).u16(3).raw("abc"));
  }
  EXPECT_EQ(reportsSeen, 1);
  EXPECT_EQ(reports.log.back().rfind("failed ", 0), 0u) << reports.log.back();
  if (GetParam().step == OwnerStep::LetTheDownloaderGo)
    EXPECT_EQ(sd, nullptr);
  else
    EXPECT_FALSE(sd->hasDownload(downloadId()));
  EXPECT_FALSE(exists("a"));
  EXPECT_EQ(peerSaw("ShareRelease"), std::vector<std::string>({"ShareRelease 7"}));
}

INSTANTIATE_TEST_SUITE_P(Reports, WriteFailureEndTest,
                         ::testing::Values(WriteFailureEndCase{"LetGoWhileReceivedBytesAreWritten",
                                                               false,
                                                               OwnerStep::LetTheDownloaderGo},
                                           WriteFailureEndCase{"CancelWhileReceivedBytesAreWritten",
                                                               false, OwnerStep::CancelTheDownload},
                                           WriteFailureEndCase{"LetGoWhileResumeWritesHeldBytes",
                                                               true, OwnerStep::LetTheDownloaderGo},
                                           WriteFailureEndCase{"CancelWhileResumeWritesHeldBytes",
                                                               true, OwnerStep::CancelTheDownload}),
                         [](const ::testing::TestParamInfo<WriteFailureEndCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(ShareDownloaderTest, CancellingAPausedDownloadEndsTheFilesWhoseEndsItHolds) {
  offer({{"a", 0, "abc"}, {"b", 0, "defg"}});
  sd->download(share, dir.path().c_str());
  sd->pause(downloadId());
  deliver(0);
  send(Bytes().u32(6).u32(7).u32(1).u16(2).raw("de"));
  peerSaw();
  sd->cancel(downloadId());
  // The held file goes as the running one does; nothing is left to report
  // to the downloader later.
  EXPECT_FALSE(exists("a"));
  EXPECT_FALSE(exists("b"));
  EXPECT_EQ(peerSaw(), std::vector<std::string>({"FileAbort (7,1)", "ShareRelease 7"}));
}

TEST_F(ShareDownloaderTest, FolderModesAreAppliedOnceTheirFilesAreWritten) {
  offer({{"ro", 1, ""}, {"ro/f", 0, "x"}});
  // A read-only folder (no unix attribute: the default mode) still gets its
  // file.
  sd->download(share, dir.path().c_str());
  deliver(1);
  EXPECT_EQ(reports.log.back(), "complete");
  EXPECT_EQ(testing_support::readFile(at("ro/f")), "x");
}

// Ten shares of eight files from a viewer that sends no data: 64 files are
// open at once, the rest wait; each file that ends lets the oldest waiting
// download start its next file, and all of them arrive in turn.
TEST_F(ShareDownloaderTest, FilesBeyondTheOpenFileBoundWaitTheirTurn) {
  const std::uint32_t shares = 10;
  std::vector<ft::ShareProxy*> held;
  for (std::uint32_t sid = 20; sid < 20 + shares; sid++) {
    send(Bytes().u32(1).u32(sid).u8(0).u32(1));
    Bytes listing;
    listing.u32(3).u32(sid).u32(8);
    for (int i = 0; i < 8; i++)
      listing.entry("s" + std::to_string(sid) + "/f" + std::to_string(i), 0, 4);
    send(listing);
    send(Bytes().u32(3).u32(sid).u32(0));
    held.push_back(ext.getActiveShare());
    ASSERT_NE(held.back(), nullptr);
    sd->download(held.back(), dir.path().c_str());
  }
  std::vector<std::string> requests = peerSaw("FileReq");
  EXPECT_EQ(requests.size(), 64u);
  EXPECT_EQ(requests.back().compare(0, 14, "FileReq s27/f7"), 0) << requests.back();
  EXPECT_EQ(ft::OpenFileBudget::downloads().held(id()), 64u);

  auto deliver = [&](std::uint32_t sid, std::uint32_t file) {
    send(Bytes().u32(6).u32(sid).u32(file).u16(4).raw("data"));
    send(Bytes().u32(6).u32(sid).u32(file).u16(0));
  };
  deliver(23, 5);
  requests = peerSaw("FileReq");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].compare(0, 14, "FileReq s28/f0"), 0) << requests[0];
  for (std::uint32_t sid = 20; sid < 20 + shares; sid++)
    for (std::uint32_t file = 0; file < 8; file++)
      if (sid != 23 || file != 5)
        deliver(sid, file);
  EXPECT_EQ(sd->downloadCount(), 0u);
  EXPECT_EQ(std::count(reports.log.begin(), reports.log.end(), "complete"), long(shares));
  EXPECT_EQ(ft::OpenFileBudget::downloads().held(), 0u);
  for (std::uint32_t sid = 20; sid < 20 + shares; sid++)
    for (int i = 0; i < 8; i++)
      EXPECT_EQ(testing_support::readFile(at("s" + std::to_string(sid) + "/f" + std::to_string(i))),
                "data");
  for (ft::ShareProxy* s : held)
    s->unref();
}

TEST_F(ShareDownloaderTest, ShowMessageGoesToTheCallback) {
  sd->showMessage("hello");
  EXPECT_EQ(reports.log.back(), "message hello");
  sd->setCallback(nullptr);
  sd->showMessage("nobody");
}

} // namespace

namespace {

class ListOverDownloaderTest : public ShareDownloaderTest {
protected:
  ListOverDownloaderTest() : dialog(new ft::DownloadsDialog(sd.get(), &ui)) {}
  ~ListOverDownloaderTest() override { dialog.reset(); }

  ManualClock clock;
  plat::TimerManager timers;
  ft_test::FakeDownloadsUI ui;
  std::unique_ptr<ft::DownloadsDialog> dialog;
};

TEST_F(ListOverDownloaderTest, RetryAfterANameFailureStartsTheFile) {
  ScopedParam p("ftConcurrency", "1");
  offer({{"x", 0, "payload"}});
  auto saved = ShareDownloader::Download::fileExistsFn;
  ShareDownloader::Download::fileExistsFn = everythingExists;
  sd->download(share, dir.path().c_str());
  ShareDownloader::Download::fileExistsFn = saved;
  ft_test::FakeRow* row = ui.row(0);
  EXPECT_EQ(row->status, "Too many name clashes");
  EXPECT_EQ(row->actionText(), "Retry|Cancel|Remove from list|Open containing folder");
  dialog->performAction(ft::DownloadsDialog::Retry, row);
  EXPECT_EQ(row->actionText(), "Pause|Cancel|Open containing folder");
  deliver(0);
  EXPECT_EQ(row->status, "Download complete");
  EXPECT_EQ(row->icons.back(), dir.path() + "/x");
  EXPECT_EQ(testing_support::readFile(at("x")), "payload");
}

// Works in another folder for a while, and goes back where it was.
class ScopedWorkingFolder {
public:
  explicit ScopedWorkingFolder(const std::string& path)
      : back(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    EXPECT_GE(back, 0);
    EXPECT_EQ(chdir(path.c_str()), 0) << path;
  }
  ~ScopedWorkingFolder() {
    EXPECT_EQ(fchdir(back), 0);
    close(back);
  }
  ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
  ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

private:
  int back;
};

// Folder failures that a retry gets past once the folder is mended.
enum class FolderFault {
  // A symbolic link to a folder not made yet stands in place of the
  // download folder: nothing is found at the file's path (no clash), yet no
  // folder can be made there.
  DanglingLink,
  // The download folder is relative and the working folder it starts from
  // was removed: not even the folder's parent can be named.
  RemovedWorkingFolder,
};

struct FolderRetryCase {
  const char* name;
  FolderFault fault;
};

class FolderRetryTest : public ListOverDownloaderTest,
                        public ::testing::WithParamInterface<FolderRetryCase> {};

TEST_P(FolderRetryTest, RetryAfterAFolderFailureStartsTheFile) {
  ScopedParam p("ftConcurrency", "1");
  offer({{"x", 0, "payload"}});
  std::string folder, status, landed;
  std::unique_ptr<ScopedWorkingFolder> cwd;
  switch (GetParam().fault) {
  case FolderFault::DanglingLink:
    ASSERT_EQ(symlink(at("later").c_str(), at("fetch").c_str()), 0);
    folder = at("fetch");
    status = "mkDir(" + at("fetch") + "/): File exists (17)";
    landed = at("later/x");
    break;
  case FolderFault::RemovedWorkingFolder:
    ASSERT_EQ(mkdir(at("gone").c_str(), 0700), 0);
    cwd.reset(new ScopedWorkingFolder(at("gone")));
    ASSERT_EQ(rmdir(at("gone").c_str()), 0);
    folder = "fetch";
    status = "Invalid download folder.";
    landed = at("fetch/x");
    break;
  }
  sd->download(share, folder.c_str());
  ft_test::FakeRow* row = ui.row(0);
  EXPECT_EQ(row->status, status);
  EXPECT_EQ(row->actionText(), "Retry|Cancel|Remove from list|Open containing folder");
  EXPECT_TRUE(peerSaw("FileReq").empty());
  EXPECT_TRUE(sd->hasDownload(downloadId()));

  switch (GetParam().fault) {
  case FolderFault::DanglingLink:
    ASSERT_EQ(mkdir(at("later").c_str(), 0700), 0);
    break;
  case FolderFault::RemovedWorkingFolder:
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    break;
  }
  dialog->performAction(ft::DownloadsDialog::Retry, row);
  EXPECT_EQ(row->actionText(), "Pause|Cancel|Open containing folder");
  EXPECT_EQ(peerSaw("FileReq").size(), 1u);
  deliver(0);
  EXPECT_EQ(row->status, "Download complete");
  EXPECT_EQ(testing_support::readFile(landed), "payload");
}

INSTANTIATE_TEST_SUITE_P(Faults, FolderRetryTest,
                         ::testing::Values(FolderRetryCase{"DanglingLinkInPlaceOfTheFolder",
                                                           FolderFault::DanglingLink},
                                           FolderRetryCase{"RelativeFolderInARemovedWorkingFolder",
                                                           FolderFault::RemovedWorkingFolder}),
                         [](const ::testing::TestParamInfo<FolderRetryCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(ListOverDownloaderTest, RemovingAndClearingDuringTransfersIsSafe) {
  offer(manyFiles(12));
  sd->download(share, dir.path().c_str());
  ft_test::FakeRow* row = ui.row(0);
  deliver(0);
  dialog->performAction(ft::DownloadsDialog::RemoveFromList, row);
  dialog->clearFinished();
  for (std::uint32_t i = 1; i < 12; i++)
    deliver(i);
  EXPECT_TRUE(ui.rows.empty());
  EXPECT_EQ(sd->downloadCount(), 0u);
}

TEST_F(ListOverDownloaderTest, AFailedFileEndsTheRowWithNothingLeftRunning) {
  offer(manyFiles(4));
  sd->download(share, dir.path().c_str());
  send(Bytes().u32(7).u32(7).u32(2).str("Permission denied"));
  EXPECT_EQ(ui.row(0)->actionText(), "Remove from list|Open containing folder");
  dialog->clearFinished();
  EXPECT_TRUE(ui.rows.empty());
  EXPECT_EQ(peerSaw("FileAbort").size(), 3u);
  for (std::uint32_t i = 0; i < 4; i++)
    deliver(i); // late data finds no stream
}

bool onlyXExists(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return (slash ? slash + 1 : path)[0] == 'x';
}

// A failure that could be retried still holds the share and the files in
// flight: removing its row (or clearing it) ends the download as Cancel does.
TEST_F(ListOverDownloaderTest, RemovingARetryableFailureEndsTheDownload) {
  for (bool clear : {false, true}) {
    ScopedParam p("ftConcurrency", "2");
    offer({{"a", 0, "in flight"}, {"x", 0, "clashes"}});
    auto saved = ShareDownloader::Download::fileExistsFn;
    ShareDownloader::Download::fileExistsFn = onlyXExists;
    sd->download(share, dir.path().c_str());
    ShareDownloader::Download::fileExistsFn = saved;
    ft_test::FakeRow* row = ui.row(0);
    EXPECT_EQ(row->actionText(), "Retry|Cancel|Remove from list|Open containing folder");
    EXPECT_TRUE(ui.clearEnabled);
    peerSaw();
    if (clear)
      dialog->clearFinished();
    else
      dialog->performAction(ft::DownloadsDialog::RemoveFromList, row);
    EXPECT_TRUE(ui.rows.empty()) << clear;
    EXPECT_EQ(sd->downloadCount(), 0u) << clear;
    std::vector<std::string> saw = peerSaw();
    EXPECT_EQ(saw, std::vector<std::string>({"FileAbort (7,0)", "ShareRelease 7"})) << clear;
    EXPECT_FALSE(exists("a")) << clear;
    deliver(0); // late data finds no stream
    share->unref();
    share = nullptr;
    send(Bytes().u32(1).u32(0).u8(0).u32(0)); // the next round offers share 7 afresh
  }
}

TEST_F(ListOverDownloaderTest, CancelFromTheRowAbortsTheFiles) {
  offer(manyFiles(3));
  sd->download(share, dir.path().c_str());
  peerSaw();
  dialog->performAction(ft::DownloadsDialog::Cancel, ui.row(0));
  EXPECT_EQ(ui.row(0)->status, "Download cancelled.");
  EXPECT_EQ(peerSaw("FileAbort").size(), 3u);
  dialog->performAction(ft::DownloadsDialog::OpenContainingFolder, ui.row(0));
  EXPECT_EQ(ui.calls.back(), "open " + dir.path() + "/");
}

} // namespace

namespace {

TEST_F(ShareDownloaderTest, LateListingOfAReplacedShareLeavesTheNewOneAlone) {
  send(Bytes().u32(1).u32(7).u8(0).u32(1));
  send(Bytes().u32(3).u32(7).u32(1).entry("old1", 0, 3));
  send(Bytes().u32(1).u32(8).u8(0).u32(1));
  // Still on its way when share 8 was advertised.
  send(Bytes().u32(3).u32(7).u32(1).entry("old2", 0, 3));
  send(Bytes().u32(3).u32(7).u32(0));
  EXPECT_EQ(ext.getActiveShare(), nullptr);
  send(Bytes().u32(3).u32(8).u32(1).entry("new", 0, 3));
  send(Bytes().u32(3).u32(8).u32(0));
  share = ext.getActiveShare();
  ASSERT_NE(share, nullptr);
  EXPECT_EQ(share->getShareId(), 8u);
  ASSERT_EQ(share->size(), 1u);
  EXPECT_EQ((*share)[0]->name, "new");
}

} // namespace
