#include "ft/unix/FileStream.h"

#include "FileContents.h"
#include "FileSizeLimit.h"
#include "TempDir.h"
#include "ft/ShareEntry.h"
#include "ft/UnixAttribute.h"
#include "plat/ParameterSet.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using testing_support::TempDir;

namespace {

class Recorder : public ft::FileStream::Callback {
public:
  void progress(ft::FileStream*, std::uint64_t onDisk) override {
    lastProgress = onDisk;
    if (throwOnProgress)
      throw plat::Exception("write/select: Connection reset by peer (104)");
  }
  void writeFailed(ft::FileStream*, const char* message) override {
    log.push_back(std::string("writeFailed ") + message);
  }
  void complete(ft::FileStream*) override { log.push_back("complete"); }
  void failed(ft::FileStream*, const char* message) override {
    log.push_back(std::string("failed ") + message);
  }
  std::vector<std::string> log;
  std::uint64_t lastProgress = 0;
  bool throwOnProgress = false;
};

class ScopedUmask {
public:
  explicit ScopedUmask(mode_t m) : old(umask(m)) {}
  ~ScopedUmask() { umask(old); }

private:
  mode_t old;
};

bool exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++)
    s[i] = static_cast<char>('a' + (i * 13 + i / 251) % 26);
  return s;
}

ft::ShareEntry entry(std::uint64_t size, int mode = -1) {
  ft::ShareEntry e("f", 0, size, 0, 0, 0);
  if (mode >= 0)
    e.addAttribute(ft::makeUnixAttribute(static_cast<std::uint32_t>(mode)));
  return e;
}

void put(ft::FileStream* s, const std::string& data) {
  s->write(reinterpret_cast<const std::uint8_t*>(data.data()), static_cast<int>(data.size()));
}

int modeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return static_cast<int>(st.st_mode & 07777);
}

class FileStreamTest : public ::testing::Test {
protected:
  ft::FileStream* open(std::uint64_t size, int mode = -1) {
    ft::ShareEntry e = entry(size, mode);
    ft::FileStream* s = new ft::FileStream(path.c_str(), &e, &cb);
    s->limit = s->getLimit();
    return s;
  }
  TempDir dir;
  std::string path = dir.file("f");
  Recorder cb;
  ScopedUmask mask{022};
};

TEST_F(FileStreamTest, AFreshStreamGrantsItsBufferAndMoreAsBytesReachTheDisk) {
  ft::FileStream* s = open(100000);
  EXPECT_EQ(s->getLimit(), 262144u);
  put(s, pattern(100000));
  EXPECT_EQ(s->getLimit(), 362144u);
  EXPECT_EQ(cb.lastProgress, 100000u);
  s->finish("");
  EXPECT_EQ(cb.log, std::vector<std::string>({"complete"}));
  EXPECT_EQ(testing_support::readFile(path), pattern(100000));
}

TEST_F(FileStreamTest, APausedStreamBuffersAndWritesEverythingOnResume) {
  ft::FileStream* s = open(262144);
  s->paused = true;
  EXPECT_EQ(s->getLimit(), 0u);
  std::string data = pattern(262144);
  put(s, data.substr(0, 100000));
  put(s, data.substr(100000));
  EXPECT_EQ(s->getBuffered(), 262144);
  EXPECT_EQ(testing_support::readFile(path), "");
  // The end arrives while paused: it waits for the buffer.
  s->finish("");
  EXPECT_TRUE(cb.log.empty());
  s->paused = false;
  EXPECT_FALSE(s->flushBuffer());
  EXPECT_EQ(cb.log, std::vector<std::string>({"complete"}));
  EXPECT_EQ(testing_support::readFile(path), data);
}

TEST_F(FileStreamTest, AFailureRemovesThePartialFileEvenWhilePaused) {
  for (bool paused : {false, true}) {
    cb.log.clear();
    ft::FileStream* s = open(1000);
    put(s, "abc");
    s->paused = paused;
    s->finish("Connection closed");
    EXPECT_EQ(cb.log, std::vector<std::string>({"failed Connection closed"}));
    EXPECT_FALSE(exists(path)) << paused;
  }
}

// A source that ends a file before its announced size has not sent the
// file: the download fails and the partial file goes, also when the end
// waited for a pause.
TEST_F(FileStreamTest, AFileEndingBeforeItsAnnouncedSizeFails) {
  for (bool paused : {false, true}) {
    SCOPED_TRACE(paused);
    cb.log.clear();
    ft::FileStream* s = open(10);
    s->paused = paused;
    put(s, "abcdef");
    s->finish("");
    if (paused) {
      EXPECT_TRUE(cb.log.empty());
      s->paused = false;
      EXPECT_FALSE(s->flushBuffer());
    }
    EXPECT_EQ(cb.log, std::vector<std::string>({"failed The file ended after 6 of its 10 bytes"}));
    EXPECT_FALSE(exists(path));
  }
}

TEST_F(FileStreamTest, AnExistingFileIsNeverOverwritten) {
  testing_support::writeFile(path, "mine");
  ft::ShareEntry e = entry(10);
  EXPECT_THROW(ft::FileStream(path.c_str(), &e, &cb), plat::SystemException);
  EXPECT_EQ(testing_support::readFile(path), "mine");
}

TEST_F(FileStreamTest, MoreThanAnnouncedOrGrantedIsRefused) {
  ft::FileStream* s = open(5);
  put(s, "abc");
  EXPECT_THROW(put(s, "def"), plat::Exception);
  s->finish("The source sent more data than the file's announced size");
  EXPECT_FALSE(exists(path));

  ft::FileStream* t = open(1000000);
  t->limit = 10;
  EXPECT_THROW(put(t, pattern(11)), plat::Exception);
  t->finish("x");
}

struct ModeCase {
  int sent; // -1: no "UNIX" attribute
  int expected;
};

TEST_F(FileStreamTest, ModesFromTheSenderAreMasked) {
  const ModeCase cases[] = {
      {0600, 0600},  {-1, 0644},   {04755, 0755},   {02755, 0755},
      {01777, 0755}, {0666, 0644}, {0100644, 0644},
  };
  for (const ModeCase& c : cases) {
    ft::FileStream* s = open(0, c.sent);
    EXPECT_EQ(modeOf(path), c.expected) << std::oct << c.sent;
    s->finish("");
    unlink(path.c_str());
  }
}

TEST_F(FileStreamTest, AWriteFailureIsReportedAndTheBytesAreKept) {
  // A file size limit makes the disk "full" after 1000 bytes.
  ft::FileStream* s = open(3000);
  std::string data = pattern(3000);
  {
    testing_support::FileSizeLimit limit(1000);
    put(s, data.substr(0, 2000)); // 1000 written, the rest buffered
    put(s, data.substr(2000));    // the buffer cannot be written
  }
  ASSERT_EQ(cb.log.size(), 1u);
  EXPECT_EQ(cb.log[0].rfind("writeFailed ", 0), 0u) << cb.log[0];
  EXPECT_EQ(s->getBuffered(), 2000);
  // The end completes the file only once the buffer is on disk.
  s->finish("");
  EXPECT_EQ(cb.log.back(), "complete");
  EXPECT_EQ(testing_support::readFile(path), data);
}

TEST_F(FileStreamTest, AFolderGetsItsMaskedModeThroughItsDescriptor) {
  ft::ShareEntry folder("d", ft::ShareEntry::flagDirectory, 0, 0, 0, 0);
  folder.addAttribute(ft::makeUnixAttribute(041777));
  mkdir(dir.file("d").c_str(), 0700);
  ft::FileStream::setFolderMode(dir.file("d").c_str(), &folder);
  EXPECT_EQ(modeOf(dir.file("d")), 0755);
  // A link in the folder's place is not followed.
  symlink(dir.path().c_str(), dir.file("link").c_str());
  EXPECT_THROW(ft::FileStream::setFolderMode(dir.file("link").c_str(), &folder),
               plat::SystemException);
}

TEST_F(FileStreamTest, AFailedProgressReportIsNoWriteFailureAndDuplicatesNothing) {
  ft::FileStream* s = open(6);
  cb.throwOnProgress = true;
  EXPECT_THROW(put(s, "abc"), plat::Exception);
  EXPECT_TRUE(cb.log.empty());
  cb.throwOnProgress = false;
  put(s, "def");
  EXPECT_EQ(cb.lastProgress, 6u);
  s->finish("");
  EXPECT_EQ(testing_support::readFile(path), "abcdef");
}

} // namespace
