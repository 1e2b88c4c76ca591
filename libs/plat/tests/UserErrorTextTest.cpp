#include "plat/UserErrorText.h"

#include "plat/Exception.h"
#include "plat/FileOps.h"

#include "FileContents.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

namespace {

// What the library's own failures say, and what a user reads instead.
TEST(UserErrorText, FailedFileOperationsOfTheLibrary) {
  testing_support::TempDir dir;
  std::string plain = dir / "plain";
  testing_support::writeFile(plain, "p");
  struct Case {
    const char* what;
    std::function<void()> operation;
    std::string shown;
  } cases[] = {
      {"a folder where a file is", [&] { plat::mkDirWithParents(plain.c_str(), true, false); },
       "Could not create the folder " + plain + ": a file of that name exists"},
      {"a folder under a file",
       [&] { plat::mkDirWithParents((plain + "/sub/deeper").c_str(), true, false); },
       "Could not create the folder " + plain +
           "/sub/deeper: a part of its path is a file, not a folder"},
      {"a missing file opened", [&] { plat::fileOpen((dir / "missing").c_str(), "r"); },
       "Could not open the file " + dir / "missing" + ": no such file or folder"},
      {"a folder removed as a file", [&] { plat::rmDir(plain.c_str()); },
       "Could not remove the folder " + plain + ": a part of its path is a file, not a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.operation();
      ADD_FAILURE() << "no failure";
    } catch (plat::Exception& e) {
      EXPECT_EQ(plat::userErrorText(e.str()), c.shown) << e.str();
    }
  }
}

TEST(UserErrorText, MessagesAsTheyComeAndOthersUnchanged) {
  struct Case {
    std::string message;
    std::string shown;
  } cases[] = {
      {"mkDir(/tmp/x/plain): File exists (17)",
       "Could not create the folder /tmp/x/plain: a file of that name exists"},
      // Context in front stays; a replacement file names the file saved.
      {"Saving: fileRename(/a/b, c.tmp,/a/b, c): Device or resource busy (16)",
       "Saving: Could not save the file /a/b, c: another save of the same file is under way"},
      {"fileSync(/home/u/.zav/config.d/zavconfig.tmp): No space left on device (28)",
       "Could not write the file /home/u/.zav/config.d/zavconfig: the disk is full"},
      {"fileSync(/home/u/.zav/zavchat.xml.tmp-Ab3xY9q0): No space left on device (28)",
       "Could not write the file /home/u/.zav/zavchat.xml: the disk is full"},
      {"Error writing chat history /h/chat.xml: fileRewrite(/h/chat.xml): Disk quota exceeded "
       "(122)",
       "Error writing chat history /h/chat.xml: Could not write the file /h/chat.xml: the disk "
       "quota is used up"},
      {"fileRename(/a/b.tmp-Zz09aaAA,/a/b): Is a directory (21)",
       "Could not save the file /a/b: it is a folder"},
      {"fileOpen(/etc/x): Permission denied (13)",
       "Could not open the file /etc/x: permission denied"},
      {"opendir(/root): Permission denied (13)",
       "Could not open the folder /root: permission denied"},
      {"fileOpen(/x): Too many open files (24)", "Could not open the file /x: too many open files"},
      // Not a file operation of the library, or not the system's text.
      {"socketpair: Too many open files (24)", "socketpair: Too many open files (24)"},
      {"mkDir(/x): Not the real text (17)", "mkDir(/x): Not the real text (17)"},
      {"fileOpen(/x) (2)", "fileOpen(/x) (2)"},
      {"Connection refused", "Connection refused"},
      {"", ""},
      {"xmkDir(/a): File exists (17)", "xmkDir(/a): File exists (17)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::userErrorText(c.message.c_str()), c.shown) << c.message;
}

} // namespace
