// The password files: stored bytes against the OpenSSL oracle, mode 0600,
// replacement that leaves the old file on failure, reading back, presence
// and removal; and the password dialog's decisions.
#include "serverconfig/PasswordFile.h"
#include "serverconfig/PasswordDialogModel.h"

#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"

#include "FileContents.h"
#include "FileSizeLimit.h"
#include "OpenSslDes.h"
#include "TempDir.h"
#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using serverconfig::PasswordDialogModel;
using serverconfig::PasswordFile;
using testing_support::fileMode;
using testing_support::obfuscatedPasswordFileText;
using testing_support::readFile;
using testing_support::thrownMessage;
using testing_support::writeFile;

// Ends the calling process (SIGSYS) at its next write to the next file it
// opens, as a crash there would. (Other writes go on: the sanitizers write
// to pipes of their own.)
void killAtFirstWriteToNextFile() {
  int next = open("/dev/null", O_RDONLY);
  close(next);
  struct sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_write, 3, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_pwrite64, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_writev, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, args[0])),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(next), 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
  };
  struct sock_fprog program = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]),
                               filter};
  if (next < 0 || prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
    _exit(5);
}

class PasswordFiles : public ::testing::Test {
protected:
  testing_support::TempDir dir;
  plat::ParameterSet params{"Xzav"};
  plat::StringParameter file{"PasswordFile", "", "", false, &params};
  std::string path = dir.file("passwd");
  void SetUp() override { file.setParam(path.c_str(), 50); }
};

TEST_F(PasswordFiles, WritesExactlyTheOracleBytesPrivately) {
  for (std::string text : {"secret", "ninechars", "p\xc3\xa4sswort"}) {
    SCOPED_TRACE(text);
    mode_t old = umask(022);
    PasswordDialogModel::store(file, text.c_str());
    umask(old);
    EXPECT_EQ(obfuscatedPasswordFileText(text), readFile(path));
    EXPECT_EQ(0600, fileMode(path));
    EXPECT_STREQ(text.c_str(), PasswordFile(file).read().get());
  }
  EXPECT_EQ(8u, obfuscatedPasswordFileText("secret").size());
  EXPECT_EQ(16u, obfuscatedPasswordFileText("ninechars").size());
  EXPECT_EQ(20u, obfuscatedPasswordFileText("p\xc3\xa4sswort").size());
}

TEST_F(PasswordFiles, AnExistingReadableFileBecomesPrivate) {
  writeFile(path, "old");
  chmod(path.c_str(), 0644);
  PasswordFile(file).write("secret");
  EXPECT_EQ(0600, fileMode(path));
  EXPECT_TRUE(testing_support::tempFilesBeside(path).empty());
}

TEST_F(PasswordFiles, AFailedWriteLeavesTheOldFileAndIsReported) {
  // A file name so long that a temporary file's name beside it is too long
  // for the file system.
  path = dir.file(std::string(NAME_MAX - 4, 'p'));
  file.setParam(path.c_str(), 50);
  writeFile(path, obfuscatedPasswordFileText("oldpassword"));
  std::string before = readFile(path);
  std::string message = thrownMessage([&] { PasswordFile(file).write("newpassword"); });
  EXPECT_EQ(0u, message.rfind("Opening password file failed: ", 0)) << message;
  EXPECT_EQ(before, readFile(path));
}

TEST_F(PasswordFiles, ATruncatedWriteLeavesTheOldFileAndIsReported) {
  PasswordFile(file).write("oldpassword");
  std::string before = readFile(path);
  // A file size limit of 4 bytes makes the write of 16 bytes fail (EFBIG).
  std::string message;
  {
    testing_support::FileSizeLimit limit(4);
    message = thrownMessage([&] { PasswordDialogModel::store(file, "newpassword"); });
  }
  EXPECT_EQ(0u, message.rfind("Writing password file failed: File too large (27)", 0)) << message;
  EXPECT_EQ(before, readFile(path));
  EXPECT_TRUE(testing_support::tempFilesBeside(path).empty());
}

// A file the user may write in a folder they may not: the temporary file is
// refused, so the file is rewritten in place; a write that fails there is
// reported, and the old password stays (also when the program is killed in
// the middle of it). The user's own file becomes private; a file another user owns
// and lets the user write through its group (set up by an administrator)
// keeps its owner's bits, which the user may not change, and is still
// updated. Root passes every permission check, so it runs the writes as
// nobody.
TEST_F(PasswordFiles, AFileInAFolderThatRefusesTheTemporaryFileIsRewrittenInPlace) {
  const uid_t nobody = 65534;
  const gid_t nogroup = 65534;
  struct Case {
    const char* name;
    bool othersFile;     // owned by root, writable through nobody's group
    rlim_t sizeLimit;    // 0: none
    const char* message; // null: written
    bool killedAtWrite;  // the program ends at its first write to the file
  } cases[] = {
      {"written", false, 0, nullptr, false},
      {"write fails", false, 4, "Writing password file failed: File too large (27)", false},
      {"another user's file written", true, 0, nullptr, false},
      {"another user's file, write fails", true, 4,
       "Writing password file failed: File too large (27)", false},
      {"killed at its first write", false, 0, nullptr, true},
  };
  std::string folder = dir.file("locked");
  mkdir(folder.c_str(), 0700);
  file.setParam((folder + "/passwd").c_str(), 50);
  std::string target = folder + "/passwd";
  uid_t user = geteuid() == 0 ? nobody : geteuid();
  gid_t group = geteuid() == 0 ? nogroup : getegid();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.othersFile && geteuid() != 0) {
      ADD_FAILURE() << "needs root to give the file to another user";
      continue;
    }
    writeFile(target, "old bytes of another password");
    chmod(target.c_str(), c.othersFile ? 0660 : 0644);
    ASSERT_EQ(0, chown(target.c_str(), c.othersFile ? 0 : user, group));
    chmod(folder.c_str(), 0555);
    chmod(dir.path().c_str(), 0755);
    int pipeFds[2];
    ASSERT_EQ(0, pipe(pipeFds));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(pipeFds[0]);
      std::string m;
      if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(group) != 0 || setuid(user) != 0))
        m = "setuid failed";
      else if (c.killedAtWrite) {
        killAtFirstWriteToNextFile();
        PasswordFile(file).write("newpassword");
        m = "not killed";
      } else if (c.sizeLimit) {
        testing_support::FileSizeLimit limit(c.sizeLimit);
        m = thrownMessage([&] { PasswordFile(file).write("newpassword"); });
      } else {
        m = thrownMessage([&] { PasswordFile(file).write("newpassword"); });
      }
      _exit(write(pipeFds[1], m.data(), m.size()) == ssize_t(m.size()) ? 0 : 1);
    }
    close(pipeFds[1]);
    char buf[256];
    ssize_t n = read(pipeFds[0], buf, sizeof buf);
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    std::string message(buf, size_t(std::max<ssize_t>(n, 0)));
    if (c.killedAtWrite) {
      ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS) << status << " " << message;
    } else {
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    chmod(folder.c_str(), 0700);
    chmod(dir.path().c_str(), 0700);
    EXPECT_TRUE(testing_support::tempFilesBeside(target).empty());
    EXPECT_EQ(c.othersFile ? 0660 : 0600, fileMode(target));
    if (c.message || c.killedAtWrite) {
      if (c.message) {
        EXPECT_EQ(0u, message.rfind(c.message, 0)) << message;
      }
      EXPECT_EQ("old bytes of another password", readFile(target));
    } else {
      EXPECT_EQ("<no exception>", message);
      EXPECT_EQ(obfuscatedPasswordFileText("newpassword"), readFile(target));
    }
  }
}

TEST_F(PasswordFiles, AMissingDirectoryIsReported) {
  file.setParam(dir.file("missing/passwd").c_str(), 50);
  EXPECT_EQ("Opening password file failed: No such file or directory (2)",
            thrownMessage([&] { PasswordDialogModel::store(file, "secret"); }));
}

TEST_F(PasswordFiles, NameIsRequiredAndExpanded) {
  file.setParam("", 50);
  EXPECT_EQ("Please specify a file location for the PasswordFile parameter.",
            thrownMessage([&] { PasswordDialogModel::store(file, "secret"); }));

  setenv("ZAV_TEST_PWDIR", dir.path().c_str(), 1);
  file.setParam("${ZAV_TEST_PWDIR}/expanded", 50);
  PasswordDialogModel::store(file, "secret");
  EXPECT_EQ(obfuscatedPasswordFileText("secret"), readFile(dir.file("expanded")));
  unsetenv("ZAV_TEST_PWDIR");

  file.setParam("$ZAV_TEST_UNSET_VARIABLE/x", 50);
  EXPECT_EQ("unknown environment variable: ZAV_TEST_UNSET_VARIABLE",
            thrownMessage([&] { PasswordFile{file}; }));
}

TEST_F(PasswordFiles, PresenceAndRemoval) {
  PasswordFile pf(file);
  EXPECT_FALSE(pf.hasPassword());
  writeFile(path, "");
  EXPECT_FALSE(pf.hasPassword());
  pf.write("secret");
  EXPECT_TRUE(pf.hasPassword());
  pf.remove();
  EXPECT_FALSE(pf.hasPassword());
  pf.remove(); // already gone: nothing to report

  // A failed removal is reported, not ignored.
  mkdir(path.c_str(), 0700);
  EXPECT_EQ("Removing password file failed: Is a directory (21)",
            thrownMessage([&] { pf.remove(); }));
}

TEST_F(PasswordFiles, AFileThatIsNoPasswordIsRejectedOnRead) {
  writeFile(path, "garbage");
  EXPECT_EQ("bad obfuscated password length", thrownMessage([&] { PasswordFile(file).read(); }));
  writeFile(path, std::string(300, 'x'));
  EXPECT_EQ("bad obfuscated password length", thrownMessage([&] { PasswordFile(file).read(); }));
}

TEST(PasswordDialogModel, OkNeedsBothFields) {
  EXPECT_FALSE(PasswordDialogModel::okEnabled("", ""));
  EXPECT_FALSE(PasswordDialogModel::okEnabled("a", ""));
  EXPECT_FALSE(PasswordDialogModel::okEnabled("", "a"));
  EXPECT_TRUE(PasswordDialogModel::okEnabled("a", "b"));
}

TEST(PasswordDialogModel, OutcomeOfOk) {
  using O = PasswordDialogModel::Outcome;
  struct Case {
    const char* a;
    const char* b;
    O outcome;
  } cases[] = {
      {"secret", "secreT", O::Mismatch}, {"abcde", "abcde", O::AskShort},
      {"abcdef", "abcdef", O::Store},    {"aaaaaa", "aaaaaa", O::Store}, // no character classes
      {"abc", "abcdef", O::Mismatch},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.outcome, PasswordDialogModel::check(c.a, c.b)) << c.a << " / " << c.b;
}

} // namespace
