// Local shares: the share writer's walk, the local file proxy and the partial
// listing of a share by directory and depth.
#include "ft/PartialShareEnum.h"

#include "CaptureLogger.h"
#include "FakeDownloadManager.h"
#include "FileContents.h"
#include "TempDir.h"
#include "ThrownMessage.h"
#include "ft/UnixAttribute.h"
#include "ft/proxy/Extension.h"
#include "ft/unix/FileProxyUnixFile.h"
#include "ft/unix/ShareWriter.h"
#include "plat/Time.h"
#include "rdr/InStream.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using ft_test::FakeConnectionManager;
using testing_support::TempDir;
using testing_support::thrownMessage;

namespace {

void writeFile(const std::string& path, const std::string& data) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  fwrite(data.data(), 1, data.size(), f);
  fclose(f);
}

std::vector<std::string> names(const ft::ManagedVector<ft::FileProxy>* entries) {
  std::vector<std::string> out;
  for (size_t i = 0; entries && i < entries->size(); i++)
    out.push_back((*entries)[i]->name);
  return out;
}

size_t indexOf(const std::vector<std::string>& v, const std::string& s) {
  return static_cast<size_t>(std::find(v.begin(), v.end(), s) - v.begin());
}

class LocalShareTest : public ::testing::Test {
protected:
  LocalShareTest() : manager(&ext) {}
  const ft::ManagedVector<ft::FileProxy>* shared() {
    return manager.upload.getEntries(manager.upload.getCurrentShareId());
  }
  void makeTree() {
    mkdir(dir.file("d").c_str(), 0755);
    writeFile(dir.file("d/a"), "aaa");
    mkdir(dir.file("d/e").c_str(), 0755);
    writeFile(dir.file("d/e/f"), "ffff");
    writeFile(dir.file("d/e/g"), "g");
  }

  TempDir dir;
  ft::proxy::Extension ext;
  FakeConnectionManager manager;
};

TEST_F(LocalShareTest, ADirectoryIsSharedWithItsContentsInWalkOrder) {
  makeTree();
  symlink("a", dir.file("d/link").c_str());
  {
    ft::ShareWriter writer(&manager.upload, 1);
    writer.addPath(dir.file("d/").c_str());
  }
  EXPECT_TRUE(manager.upload.isComplete());
  std::vector<std::string> n = names(shared());
  ASSERT_EQ(n.size(), 6u);
  EXPECT_EQ(n[0], "d");
  std::vector<std::string> sorted(n);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<std::string>{"d", "d/a", "d/e", "d/e/f", "d/e/g", "d/link"}));
  EXPECT_LT(indexOf(n, "d/e"), indexOf(n, "d/e/f"));
  EXPECT_LT(indexOf(n, "d/e"), indexOf(n, "d/e/g"));
  // The link is listed as what it points to.
  const ft::FileProxy* link = (*shared())[indexOf(n, "d/link")];
  EXPECT_EQ(link->flags, 0u);
  EXPECT_EQ(link->size, 3u);
  EXPECT_EQ(ft::unixModeOf(link) & 0xF000, 0x8000u);
}

TEST_F(LocalShareTest, ASymbolicLinkLoopIsListedOnce) {
  makeTree();
  symlink("..", dir.file("d/e/up").c_str());
  symlink(dir.file("d").c_str(), dir.file("d/again").c_str());
  testing_support::ScopedCapture log("ShareWriter", 30);
  {
    ft::ShareWriter writer(&manager.upload, 0);
    writer.addPath(dir.file("d").c_str());
  }
  std::vector<std::string> n = names(shared());
  std::sort(n.begin(), n.end());
  EXPECT_EQ(n, (std::vector<std::string>{"d", "d/a", "d/e", "d/e/f", "d/e/g"}));
  EXPECT_TRUE(log.logger.contains("d/e/up: directory already in the share"));
}

TEST_F(LocalShareTest, SpecialAndBadlyNamedFilesAreSkipped) {
  makeTree();
  ASSERT_EQ(mkfifo(dir.file("d/pipe").c_str(), 0600), 0);
  writeFile(dir.file("d/bad\xff"), "x");
  testing_support::ScopedCapture log("ShareWriter", 30);
  {
    ft::ShareWriter writer(&manager.upload, 0);
    writer.addPath(dir.file("d").c_str());
  }
  EXPECT_EQ(names(shared()).size(), 5u);
  EXPECT_TRUE(log.logger.contains("Skipping: d/pipe is a special file"));
  EXPECT_TRUE(log.logger.contains("Invalid UTF-8 filename"));
}

TEST_F(LocalShareTest, ATopLevelPathThatCannotBeSharedIsReported) {
  ft::ShareWriter writer(&manager.upload, 0);
  std::string missing = dir.file("missing");
  EXPECT_EQ(thrownMessage([&] { writer.addPath(missing.c_str()); }),
            "stat(" + missing + "): No such file or directory (2)");
  mkfifo(dir.file("p").c_str(), 0600);
  EXPECT_EQ(thrownMessage([&] { writer.addPath(dir.file("p").c_str()); }), "p is a special file");
}

TEST_F(LocalShareTest, AWriterGivenNothingChangesNothing) {
  std::uint32_t before = manager.upload.getCurrentShareId();
  { ft::ShareWriter writer(&manager.upload, 0); }
  EXPECT_EQ(manager.upload.getCurrentShareId(), before);
}

TEST_F(LocalShareTest, AFileProxyDescribesAndOpensItsFile) {
  writeFile(dir.file("f"), "0123456789");
  chmod(dir.file("f").c_str(), 0444);
  struct stat st;
  stat(dir.file("f").c_str(), &st);
  ft::FileProxyUnixFile proxy(dir.file("f").c_str(), ".f");
  EXPECT_EQ(proxy.flags, ft::ShareEntry::flagHidden | ft::ShareEntry::flagReadOnly);
  EXPECT_EQ(proxy.size, 10u);
  EXPECT_EQ(proxy.modified, plat::unixTimeToTicks(st.st_mtime));
  EXPECT_EQ(ft::unixModeOf(&proxy), static_cast<std::uint32_t>(st.st_mode & 0xFFFF));
  std::unique_ptr<rdr::InStream> in(proxy.open(4, 0, nullptr));
  char buf[6];
  in->readBytes(buf, 6);
  EXPECT_EQ(std::string(buf, 6), "456789");
  EXPECT_EQ(thrownMessage([&] { in->readU8(); }), "End of stream");
  EXPECT_EQ(thrownMessage([&] { delete proxy.open(1ull << 63, 0, nullptr); }),
            "Attempt to seek beyond 9223372036854775807");
}

// Receivers refuse names over 1024 bytes: deeper entries are left out of
// the share (with their contents) and logged, an exact fit stays.
TEST_F(LocalShareTest, EntriesWithNamesTooLongForTheReceiverAreLeftOut) {
  std::string name = "d", path = dir.file("d");
  mkdir(path.c_str(), 0755);
  for (int i = 0; i < 4; i++) {
    std::string component(250, static_cast<char>('a' + i));
    name += "/" + component;
    path += "/" + component;
    mkdir(path.c_str(), 0755);
  }
  ASSERT_EQ(name.size(), 1005u);
  writeFile(path + "/" + std::string(18, 'x'), "fits");
  writeFile(path + "/" + std::string(19, 'y'), "too long");
  mkdir((path + "/" + std::string(30, 'z')).c_str(), 0755);
  writeFile(path + "/" + std::string(30, 'z') + "/f", "under a folder too long");
  testing_support::ScopedCapture log("ShareWriter", 30);
  {
    ft::ShareWriter writer(&manager.upload, 0);
    writer.addPath(dir.file("d").c_str());
  }
  std::vector<std::string> got = names(shared());
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(got[4].size(), 1005u);
  EXPECT_EQ(got[5], name + "/" + std::string(18, 'x'));
  for (char c : {'y', 'z'})
    EXPECT_TRUE(log.logger.contains(path + "/" + std::string(c == 'y' ? 19 : 30, c) +
                                    ": its name in the share is longer than 1024 bytes"))
        << c;
}

// What was shared is served only while its path holds that same regular
// file: a swapped path is refused whatever now stands there.
TEST_F(LocalShareTest, AFileSwappedAfterSharingIsRefused) {
  writeFile(dir.file("private"), "secret");
  struct Case {
    const char* name;
    std::function<void(const std::string&)> swap;
    const char* refusal;
  };
  const Case cases[] = {
      {"link", [&](const std::string& p) { symlink(dir.file("private").c_str(), p.c_str()); },
       "open: "},
      {"fifo", [](const std::string& p) { mkfifo(p.c_str(), 0644); },
       "fifo is no longer the file that was shared"},
      {"other", [](const std::string& p) { writeFile(p, "another file"); },
       "other is no longer the file that was shared"},
      {"folder", [](const std::string& p) { mkdir(p.c_str(), 0755); },
       "folder is no longer the file that was shared"},
  };
  for (const Case& c : cases) {
    std::string path = dir.file(c.name);
    writeFile(path, "shared");
    ft::FileProxyUnixFile proxy(path.c_str(), c.name);
    // The listed file is moved aside (keeping its inode alive) and replaced.
    ASSERT_EQ(rename(path.c_str(), (path + ".old").c_str()), 0);
    c.swap(path);
    std::string message = thrownMessage([&] { delete proxy.open(0, 0, nullptr); });
    EXPECT_NE(message.find(c.refusal), std::string::npos) << c.name << ": " << message;
  }
}

TEST_F(LocalShareTest, ASharedLinkIsServedAsTheFileItNamed) {
  writeFile(dir.file("target"), "through the link");
  symlink(dir.file("target").c_str(), dir.file("link").c_str());
  ft::FileProxyUnixFile proxy(dir.file("link").c_str(), "link");
  std::unique_ptr<rdr::InStream> in(proxy.open(8, 0, nullptr));
  char buf[8];
  in->readBytes(buf, 8);
  EXPECT_EQ(std::string(buf, 8), "the link");
}

// A share entry that is never opened.
class Stub : public ft::FileProxy {
public:
  explicit Stub(const char* name) : ft::FileProxy(name, 0, 0, 0, 0, 0) {}
  rdr::InStream* open(std::uint64_t, ft::ConnectionId, ft::UploadManager*) override {
    return nullptr;
  }
};

std::vector<std::string> listing(const std::vector<const char*>& entries, size_t start,
                                 const char* dir, std::uint32_t depth, size_t* consumed = nullptr) {
  ft::ManagedVector<ft::FileProxy> list;
  for (const char* e : entries)
    list.push_back(new Stub(e));
  ft::PartialShareEnum en(list, start, dir, depth);
  std::vector<std::string> out;
  while (const ft::ShareEntry* e = en.current()) {
    out.push_back(e->name + (e->flags & 1 ? "/" : ""));
    en.next();
  }
  if (consumed)
    *consumed = en.consumed();
  return out;
}

// A listing goes out in several messages sharing one record of what was
// passed; an invented folder that found no room is presented by the next.
TEST(PartialShareEnumTest, ARefusedInventedFolderComesInTheNextMessage) {
  ft::ManagedVector<ft::FileProxy> list;
  for (const char* e : {"d/a", "d/b", "x/y/z", "x/w", "d/c"})
    list.push_back(new Stub(e));
  ft::PartialShareEnum::Presented presented;
  {
    ft::PartialShareEnum full(list, 0, "", 1, &presented);
    ASSERT_NE(full.current(), nullptr);
    EXPECT_EQ(full.current()->name, "d");
    EXPECT_EQ(full.consumed(), 0u);
  }
  std::vector<std::string> out;
  ft::PartialShareEnum next(list, 0, "", 1, &presented);
  while (const ft::ShareEntry* e = next.current()) {
    out.push_back(e->name);
    next.next();
  }
  EXPECT_EQ(out, (std::vector<std::string>{"d", "x"}));
}

TEST(PartialShareEnumTest, ListsByDirectoryAndDepth) {
  std::vector<const char*> tree = {"d", "d/a", "d/e", "d/e/f", "d/e/g"};
  EXPECT_EQ(listing({"d", "d/a", "x/y/z"}, 0, "", 1), (std::vector<std::string>{"d", "x/"}));
  EXPECT_EQ(listing(tree, 0, "d", 1), (std::vector<std::string>{"d/a", "d/e"}));
  EXPECT_EQ(listing(tree, 0, "d/", 1), (std::vector<std::string>{"d/a", "d/e"}));
  EXPECT_EQ(listing(tree, 0, "d", 0), (std::vector<std::string>{"d/a", "d/e", "d/e/f", "d/e/g"}));
  EXPECT_EQ(listing(tree, 0, "", 0),
            (std::vector<std::string>{"d", "d/a", "d/e", "d/e/f", "d/e/g"}));
  EXPECT_EQ(listing(tree, 0, "d/e", 1), (std::vector<std::string>{"d/e/f", "d/e/g"}));
  EXPECT_EQ(listing(tree, 0, "dd", 0), std::vector<std::string>{});
  EXPECT_EQ(listing({"a/b/c", "a/b/d", "a/x"}, 0, "", 2),
            (std::vector<std::string>{"a/b/", "a/x"}));
  // A later batch knows what earlier positions presented.
  size_t consumed = 0;
  EXPECT_EQ(listing({"x/y/z", "x/y/w", "q"}, 1, "", 1, &consumed), std::vector<std::string>{"q"});
  EXPECT_EQ(consumed, 2u);
}

} // namespace
