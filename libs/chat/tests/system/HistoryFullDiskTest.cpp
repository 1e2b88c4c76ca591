// Saving the chat history on a file system that is full: the save must fail
// with an error and leave the previous history file whole, so the next load
// still finds every line. Runs in a private mount namespace with a small
// tmpfs, so it needs root.
#include "chat/ChatHistory.h"
#include "chat/ChatOptions.h"
#include "chat/ChatRender.h"
#include "plat/Exception.h"

#include "FileContents.h"
#include "PrivateMounts.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

class NullRender : public chat::ChatRender {
public:
  void recolour(const char*, const chat::Colour&) override {}
  void appendHeader(const char*, const chat::Colour&) override {}
  void appendMessage(const char*, const char*, const char*, const chat::Colour&) override {}
  void beginUpdate() override {}
  void endUpdate() override {}
};

// Runs in the child, inside its own mount namespace; what it found goes to
// the report file outside the mount. Returns the exit status.
int saveOnFullDisk(const std::string& home, const std::string& report) {
  auto fail = [&](const std::string& why) {
    writeFile(report, why);
    return 1;
  };
  if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    return fail("no private mount namespace");
  if (mount("tmpfs", home.c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0)
    return fail("tmpfs not mounted");

  ChatOptions options;
  options.chatLogFile.setParam((home + "/zavchat.xml").c_str(), 50);
  NullRender view;
  chat::ChatHistory history(&view, &options);
  for (int i = 0; i < 10; i++)
    history.addMessage("ann", "10.0.0.1", ("line " + std::to_string(i)).c_str());
  history.save();
  const std::string before = readFile(home + "/zavchat.xml");

  // Fill every block that is left.
  int fd = open((home + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
  std::string block(4096, 'f');
  while (write(fd, block.data(), block.size()) > 0) {
  }
  close(fd);

  for (int i = 0; i < 50; i++)
    history.addMessage("ann", "10.0.0.1", std::string(1000, 'x').c_str());
  std::string error;
  try {
    history.save();
  } catch (plat::Exception& e) {
    error = e.str();
  }
  if (error.rfind("Error writing chat history " + home + "/zavchat.xml", 0) != 0)
    return fail("save did not report the full disk: '" + error + "'");
  if (readFile(home + "/zavchat.xml") != before)
    return fail("the old history file changed");
  if (!testing_support::tempFilesBeside(home + "/zavchat.xml").empty())
    return fail("a temporary file was left");

  ChatOptions reloadOptions;
  reloadOptions.chatLogFile.setParam((home + "/zavchat.xml").c_str(), 50);
  chat::ChatHistory reloaded(&view, &reloadOptions);
  reloaded.load();
  if (reloaded.records().size() != 10)
    return fail("the old file no longer loads whole");
  writeFile(report, "ok");
  return 0;
}

TEST(ChatHistoryFullDisk, FailedSaveIsReportedAndTheOldFileStaysWhole) {
  if (!privateMountsUnsupported().empty())
    GTEST_SKIP() << privateMountsUnsupported();
  TempDir scratch;
  std::string home = scratch / "home";
  ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0)
    _exit(saveOnFullDisk(home, scratch / "report"));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(readFile(scratch / "report"), "ok");
  EXPECT_EQ(readFile(home + "/zavchat.xml"), "<missing>") << "the mount went with the namespace";
}

} // namespace
