#include "plat/ConfigurationFile.h"

#include "plat/BoolParameter.h"
#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/IntParameter.h"
#include "plat/StringParameter.h"

#include "CaptureLogger.h"
#include "FileContents.h"
#include "TempDir.h"
#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

using testing_support::ScopedCapture;
using testing_support::thrownMessage;

namespace {

ino_t inodeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// thrownMessage run in a child process, so that a reader that blocks for
// ever fails the test ("<hung>") instead of stopping the run.
template <typename F> std::string thrownMessageInChild(F f) {
  int fds[2];
  if (pipe(fds) != 0)
    return "<pipe failed>";
  pid_t child = fork();
  if (child < 0)
    return "<fork failed>";
  if (child == 0) {
    close(fds[0]);
    std::string m = thrownMessage(f);
    _exit(write(fds[1], m.data(), m.size()) == static_cast<ssize_t>(m.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string message;
  struct pollfd p = {fds[0], POLLIN, 0};
  bool hung = false;
  for (;;) {
    if (poll(&p, 1, 60000) <= 0) {
      hung = true;
      break;
    }
    char buf[512];
    ssize_t n = read(fds[0], buf, sizeof(buf));
    if (n <= 0)
      break;
    message.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (hung)
    kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  return hung ? "<hung>" : message;
}

struct Fixture {
  Fixture()
      : set("Test"), flag("Flag", "d", false, false, &set),
        count("Count", "d", 1, 0, 100, false, &set), text("Text", "d", "", false, &set) {}
  plat::ParameterSet set;
  plat::BoolParameter flag;
  plat::IntParameter count;
  plat::StringParameter text;
};

TEST(ConfigurationFile, ReadAppliesEveryLineForm) {
  TempDir dir;
  std::string path = dir / "config";
  writeFile(path, "count=1\n"
                  "# a remark without equals\n"
                  "\n"
                  "Unknown=5\n"
                  "-Flag\n"
                  "text=a=b\\\\c\\nd\n"
                  "COUNT=2\n"
                  "--count=notanumber\n"
                  "count=3"); // a last line without newline
  Fixture f;
  ScopedCapture capture("ConfigurationFile", 30);
  plat::ConfigurationFile::readParameters(f.set, path.c_str(), 50);
  EXPECT_TRUE(f.flag);
  EXPECT_EQ(f.flag.getPriority(), 50);
  EXPECT_EQ(f.count.getValue(), 3);
  EXPECT_EQ(f.count.getPriority(), 50);
  EXPECT_STREQ(f.text.getValue().c_str(), "a=b\\c\nd");
  ASSERT_EQ(capture.logger.lines.size(), 1u);
  EXPECT_EQ(capture.logger.lines[0].text, "Attempting to read Test Configuration from " + path);
}

TEST(ConfigurationFile, ReadFailures) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string content; // nullptr-like: "<missing>" for no file
    std::string message;
    int countAfter;
  } cases[] = {
      {"missing", "<missing>", "fileOpen(@): No such file or directory (2)", 1},
      {"bad escape", "count=7\ntext=a\\tb\ncount=9\n", "bad escape code in Value!", 7},
      {"trailing backslash", "count=8\ntext=a\\", "bad escape code in Value!", 8},
      {"invalid UTF-8", "count=6\ntext=\xc0\x80\ncount=9\n", "Invalid UTF-8 encoding for Text", 6},
      {"directory", "<dir>", "Error reading from file: Is a directory (21)", 1},
      {"NUL in a value", std::string("count=5\ntext=a\0b\ncount=9\n", 25), "NUL character in line",
       5},
      {"NUL in a name", std::string("count=4\nco\0unt=9\n", 17), "NUL character in line", 4},
  };
  for (const Case& c : cases) {
    std::string path = dir / c.name;
    if (c.content == "<dir>")
      mkdir(path.c_str(), 0700);
    else if (c.content != "<missing>")
      writeFile(path, c.content);
    std::string message = c.message;
    if (message.find('@') != std::string::npos)
      message.replace(message.find('@'), 1, path);
    Fixture f;
    EXPECT_EQ(
        thrownMessage([&] { plat::ConfigurationFile::readParameters(f.set, path.c_str(), 50); }),
        message)
        << c.name;
    EXPECT_EQ(f.count.getValue(), c.countAfter) << c.name;
  }
}

TEST(ConfigurationFile, WriteAndReadRoundTrip) {
  TempDir dir;
  std::string path = dir / "out";
  plat::ParameterSet tail("Tail");
  plat::ParameterSet set("Test", &tail);
  plat::StringParameter text("Text", "d", "", false, &set);
  plat::IntParameter count("Count", "d", 4, 0, 9, false, &set);
  plat::StringParameter internal("_Private", "d", "secret", false, &set);
  plat::BoolParameter deep("Deep", "d", true, false, &tail);
  text.setParam("line one\nback\\slash = sign", 50);
  ScopedCapture capture("ConfigurationFile", 30);
  plat::ConfigurationFile::writeParameters(set, path.c_str());
  EXPECT_EQ(readFile(path), "Count=4\n"
                            "Text=line one\\nback\\\\slash = sign\n"
                            "Deep=1\n");
  EXPECT_TRUE(testing_support::tempFilesBeside(path).empty());
  ASSERT_EQ(capture.logger.lines.size(), 1u);
  EXPECT_EQ(capture.logger.lines[0].text, "Attempting to save Test Configuration to " + path);

  plat::ParameterSet other("Other");
  plat::StringParameter text2("text", "d", "", false, &other);
  plat::BoolParameter deep2("deep", "d", false, false, &other);
  plat::ConfigurationFile::readParameters(other, path.c_str(), 0);
  EXPECT_STREQ(text2.getValue().c_str(), "line one\nback\\slash = sign");
  EXPECT_EQ(text2.getPriority(), 0);
  EXPECT_TRUE(deep2);
}

TEST(ConfigurationFile, MapReadWithAliasesAndBareNames) {
  TempDir dir;
  std::string path = dir / "map";
  writeFile(path, "b=1\nOldName=x\nbare\nB=2\nn\\\\ame=v\\nw\n");
  plat::ParameterSet::AliasMap aliases = {{"oldname", "NewName"}};
  plat::ConfigurationFile::Map map;
  plat::ConfigurationFile::readMap(path.c_str(), map, &aliases);
  plat::ConfigurationFile::Map expected = {
      {"B", "2"}, {"bare", std::nullopt}, {"NewName", "x"}, {"n\\ame", "v\nw"}};
  EXPECT_EQ(map, expected);
  plat::ConfigurationFile::writeMap(path.c_str(), map);
  EXPECT_EQ(readFile(path), "B=2\nbare\nn\\\\ame=v\\nw\nNewName=x\n");
}

TEST(ConfigurationFile, SetValueKeepsOtherEntries) {
  TempDir dir;
  std::string path = dir / "sub/conf";
  mkdir((dir / "sub").c_str(), 0700);
  plat::ConfigurationFile::setValue(path.c_str(), "Alpha", "1");
  EXPECT_EQ(readFile(path), "Alpha=1\n");
  plat::ConfigurationFile::setValue(path.c_str(), "beta", "two\nlines");
  plat::ConfigurationFile::setValue(path.c_str(), "ALPHA", "3");
  plat::ConfigurationFile::setValue(path.c_str(), "bare", nullptr);
  EXPECT_EQ(readFile(path), "ALPHA=3\nbare\nbeta=two\\nlines\n");
  // A name holding an escaped backslash survives a rewrite.
  writeFile(path, "we\\\\ird=1\n");
  plat::ConfigurationFile::setValue(path.c_str(), "x", "y");
  EXPECT_EQ(readFile(path), "we\\\\ird=1\nx=y\n");
}

TEST(ConfigurationFile, EditOfUnreadableFileThrowsAndLeavesItUntouched) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string content;
    bool makeUnreadable;
    std::string message;
  } cases[] = {
      {"bad escape", "keep=1\nbad=\\q\nalso=2\n", false, "bad escape code in Value!"},
      {"unreadable", "keep=1\n", true, "fileOpen(@): Permission denied (13)"},
      // Taken only up to the NUL, the rest of the line would be lost on rewriting.
      {"NUL byte", std::string("keep=1\nbad=a\0rest\nalso=2\n", 25), false,
       "NUL character in line"},
  };
  for (const Case& c : cases) {
    std::string path = dir / c.name;
    writeFile(path, c.content);
    if (c.makeUnreadable)
      chmod(path.c_str(), 0200);
    std::string message = c.message;
    if (message.find('@') != std::string::npos)
      message.replace(message.find('@'), 1, path);
    auto attempt = [&] {
      std::string m1 =
          thrownMessage([&] { plat::ConfigurationFile::setValue(path.c_str(), "new", "v"); });
      Fixture f;
      std::string m2 = thrownMessage(
          [&] { plat::ConfigurationFile::saveParameters(f.set, path.c_str(), f.set); });
      return m1 == message && m2 == message;
    };
    if (c.makeUnreadable && geteuid() == 0) {
      // Permission bits do not stop root: try it as an ordinary user.
      chmod(dir.path().c_str(), 0777);
      chown(path.c_str(), 0, 0);
      pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0)
        _exit(setgid(65534) == 0 && setuid(65534) == 0 && attempt() ? 0 : 1);
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.name;
      chmod(dir.path().c_str(), 0700);
    } else {
      EXPECT_TRUE(attempt()) << c.name;
    }
    chmod(path.c_str(), 0600);
    EXPECT_EQ(readFile(path), c.content) << c.name;
    EXPECT_TRUE(testing_support::tempFilesBeside(path).empty()) << c.name;
  }
  // A directory in place of the file: the read error is thrown, nothing lost.
  std::string asDir = dir / "isdir";
  mkdir(asDir.c_str(), 0700);
  writeFile(asDir + "/inside", "x");
  EXPECT_EQ(thrownMessage([&] { plat::ConfigurationFile::setValue(asDir.c_str(), "a", "b"); }),
            "Error reading from file: Is a directory (21)");
  EXPECT_EQ(readFile(asDir + "/inside"), "x");
}

// Editors may begin a file with a byte order mark: the first entry is read
// all the same, and an edit keeps it.
TEST(ConfigurationFile, ByteOrderMarkAtTheStartIsSkipped) {
  TempDir dir;
  std::string path = dir / "bom";
  writeFile(path, "\xEF\xBB\xBF"
                  "count=7\ntext=\xEF\xBB\xBFkept\n");
  Fixture f;
  plat::ConfigurationFile::readParameters(f.set, path.c_str(), 50);
  EXPECT_EQ(f.count.getValue(), 7);
  EXPECT_EQ(f.count.getPriority(), 50);
  // Only the start of the file: within a value the bytes are text.
  EXPECT_STREQ(f.text.getValue().c_str(), "\xEF\xBB\xBFkept");

  plat::ConfigurationFile::Map map;
  plat::ConfigurationFile::readMap(path.c_str(), map);
  plat::ConfigurationFile::Map expected = {{"count", "7"}, {"text", "\xEF\xBB\xBFkept"}};
  EXPECT_EQ(map, expected);

  plat::ConfigurationFile::setValue(path.c_str(), "Flag", "1");
  EXPECT_EQ(readFile(path), "count=7\nFlag=1\ntext=\xEF\xBB\xBFkept\n");

  // A mark and nothing else is an empty file.
  writeFile(path, "\xEF\xBB\xBF");
  map.clear();
  plat::ConfigurationFile::readMap(path.c_str(), map);
  EXPECT_TRUE(map.empty());
}

// What stands at a configuration file's name may be anything: the readers
// refuse a pipe, and anything larger than any configuration (a regular file
// before it is read, a device once the bound is passed), and the editors
// leave it as it is.
TEST(ConfigurationFile, ReadersRefuseNonFilesAndOversizedFiles) {
  TempDir dir;
  const long long max = plat::ConfigurationFile::maxFileBytes;
  struct Case {
    const char* name;
    std::string message; // '@' stands for the path
  } cases[] = {
      {"fifo", "@: not a regular file"},
      {"device", "@: larger than a configuration file can be (over 1048576 bytes)"},
      {"huge sparse", "@: larger than a configuration file can be (over 1048576 bytes)"},
      {"one byte over", "@: larger than a configuration file can be (over 1048576 bytes)"},
  };
  for (const Case& c : cases) {
    std::string path = dir / c.name;
    std::string name = c.name;
    if (name == "fifo") {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    } else if (name == "device") {
      // A link to a device that never ends.
      ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0);
    } else if (name == "huge sparse") {
      int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0600);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(ftruncate(fd, 3LL << 30), 0);
      close(fd);
    } else {
      // One line without newline, one byte too long.
      writeFile(path, "Text=" + std::string(static_cast<size_t>(max) - 4, 'x'));
    }
    std::string message = c.message;
    message.replace(message.find('@'), 1, path);
    EXPECT_EQ(thrownMessageInChild([&] {
                Fixture f;
                plat::ConfigurationFile::readParameters(f.set, path.c_str(), 50);
              }),
              message)
        << c.name;
    EXPECT_EQ(thrownMessageInChild([&] {
                plat::ConfigurationFile::Map map;
                plat::ConfigurationFile::readMap(path.c_str(), map);
              }),
              message)
        << c.name;
    EXPECT_EQ(thrownMessageInChild(
                  [&] { plat::ConfigurationFile::setValue(path.c_str(), "new", "v"); }),
              message)
        << c.name;
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0) << c.name;
    if (name == "fifo")
      EXPECT_TRUE(S_ISFIFO(st.st_mode));
    else if (name == "device")
      EXPECT_TRUE(S_ISLNK(st.st_mode));
    else
      EXPECT_TRUE(S_ISREG(st.st_mode) && st.st_size > max) << c.name;
    EXPECT_TRUE(testing_support::tempFilesBeside(path).empty()) << c.name;
  }

  // /dev/null put in place of the file reads as an empty file.
  std::string empty = dir / "null";
  ASSERT_EQ(symlink("/dev/null", empty.c_str()), 0);
  plat::ConfigurationFile::Map map;
  plat::ConfigurationFile::readMap(empty.c_str(), map);
  EXPECT_TRUE(map.empty());

  // A file of exactly the largest size is read whole.
  std::string path = dir / "largest";
  std::string value(static_cast<size_t>(max) - 6, 'y');
  writeFile(path, "Text=" + value + "\n");
  Fixture f;
  plat::ConfigurationFile::readParameters(f.set, path.c_str(), 50);
  EXPECT_EQ(f.text.getValue().c_str(), value);
}

TEST(ConfigurationFile, SaveWritesOnlyChangedValuesAndKeepsTheRest) {
  TempDir dir;
  std::string path = dir / "user";
  writeFile(path, "Other=keep\nold=5\ncount=2\n");
  Fixture f;
  f.set.addAlias("old", "Count");
  plat::ParameterSet reference(f.set);

  // Nothing changed: the content stays, though the file is rewritten.
  ino_t before = inodeOf(path);
  plat::ConfigurationFile::saveParameters(f.set, path.c_str(), reference);
  EXPECT_EQ(readFile(path), "count=2\nOther=keep\n"); // the alias folded onto its target
  EXPECT_NE(inodeOf(path), before);

  plat::ConfigurationFile::saveParameters(f.set, path.c_str(), reference);
  EXPECT_EQ(readFile(path), "count=2\nOther=keep\n");

  f.count.setParam("42", 50);
  f.text.setParam("hello\\world", 50);
  plat::ConfigurationFile::saveParameters(f.set, path.c_str(), reference);
  EXPECT_EQ(readFile(path), "Count=42\nOther=keep\nText=hello\\\\world\n");
}

} // namespace
