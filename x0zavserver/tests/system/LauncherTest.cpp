#include "LauncherRig.h"
#include "TestUsers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <grp.h>
#include <iterator>
#include <pwd.h>
#include <set>
#include <sstream>
#include <string>

namespace {

using testing_support::LauncherRig;
using testing_support::TestUsers;

std::vector<std::string> linesWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, prefix.size(), prefix) == 0)
      out.push_back(line.substr(prefix.size()));
  return out;
}

bool hasLine(const std::string& text, const std::string& line) {
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l))
    if (l == line)
      return true;
  return false;
}

std::string hexOf(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string u32(uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string frame(const std::string& module) {
  return std::string(1, char(module.size())) + module;
}
std::string str(const std::string& s) {
  return u32(uint32_t(s.size())) + s;
}

class LauncherTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!LauncherRig::unsupportedReason().empty())
      GTEST_SKIP() << LauncherRig::unsupportedReason();
    user = users.addUser("zavln", "Secret-1");
    const struct passwd* pw = getpwnam(user.c_str());
    ASSERT_NE(pw, nullptr);
    uid = pw->pw_uid;
    gid = pw->pw_gid;
  }

  std::string ids(unsigned v) {
    return std::to_string(v) + " " + std::to_string(v) + " " + std::to_string(v);
  }

  TestUsers users;
  LauncherRig rig;
  std::string user;
  uid_t uid = 0;
  gid_t gid = 0;
};

TEST_F(LauncherTest, CoreRunsAsTheUserWithItsArgumentsAndEnvironment) {
  LauncherRig::Options opt;
  opt.extraShell = "export ZAV_MARK='left alone'";
  auto r = rig.run(user, {"report", "_privReadFd=99", "-geometry", "800x600"}, opt);
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> args = linesWith(r.out, "arg ");
  ASSERT_EQ(args.size(), 7u) << r.out;
  EXPECT_EQ(args[0], "/etc/zav/x0zavserver-core");
  EXPECT_EQ(args[1], "report");
  EXPECT_EQ(args[2], "_privReadFd=99"); // passed on unchanged before the two added ones
  EXPECT_EQ(args[3], "-geometry");
  EXPECT_EQ(args[4], "800x600");
  EXPECT_EQ(args[5].compare(0, 12, "_privReadFd="), 0);
  EXPECT_EQ(args[6].compare(0, 13, "_privWriteFd="), 0);
  EXPECT_TRUE(hasLine(r.out, "uids " + ids(uid))) << r.out;
  EXPECT_TRUE(hasLine(r.out, "gids " + ids(gid))) << r.out;
  EXPECT_TRUE(hasLine(r.out, "env ZAV_MARK=left alone")) << r.out;
  // The core holds exactly its two pipe ends beside what it inherited: not
  // the descriptor the launcher ran it from.
  std::vector<std::string> fds = linesWith(r.out, "fd ");
  EXPECT_NE(std::find(fds.begin(), fds.end(), args[5].substr(12)), fds.end());
  EXPECT_NE(std::find(fds.begin(), fds.end(), args[6].substr(13)), fds.end());
  for (const std::string& target : linesWith(r.out, "fdpath "))
    EXPECT_EQ(target.find("x0zavserver-core"), std::string::npos) << target;
  // What runs is the core installed there.
  EXPECT_TRUE(hasLine(r.out, "exe /etc/zav/x0zavserver-core")) << r.out;
}

TEST_F(LauncherTest, WithoutArgumentsTheCoreGetsThree) {
  auto r = rig.run(user, {});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> args = linesWith(r.out, "arg ");
  ASSERT_EQ(args.size(), 3u) << r.out;
  EXPECT_EQ(args[0], "/etc/zav/x0zavserver-core");
  EXPECT_EQ(args[1].compare(0, 12, "_privReadFd="), 0);
  EXPECT_EQ(args[2].compare(0, 13, "_privWriteFd="), 0);
}

TEST_F(LauncherTest, ClosedStandardDescriptorsAreReopened) {
  LauncherRig::Options opt;
  opt.redirects = "0<&-";
  auto r = rig.run(user, {"report"}, opt);
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> fds = linesWith(r.out, "fd ");
  EXPECT_NE(std::find(fds.begin(), fds.end(), "0"), fds.end()) << r.out;
  // The pipes did not take the closed slot.
  EXPECT_EQ(linesWith(r.out, "arg _privReadFd=0").size(), 0u);
}

TEST_F(LauncherTest, MissingCoreIsReported) {
  LauncherRig::Options opt;
  opt.extraShell = "rm /etc/zav/x0zavserver-core";
  auto r = rig.run(user, {"report"}, opt);
  EXPECT_EQ(r.status, 1);
  // In words, naming the program and the path; nothing of the system call.
  EXPECT_NE(r.err.find(rig.dir + "/bin/x0zavserver: the server core /etc/zav/x0zavserver-core "
                                 "is missing; it must be installed there\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("execv"), std::string::npos) << r.err;
  // Present but not runnable: the reason, still without the call's name.
  opt.extraShell = "cp '" ZAV_STANDIN_CORE "' /etc/zav/x0zavserver-core; chmod 0644 "
                   "/etc/zav/x0zavserver-core";
  r = rig.run(user, {"report"}, opt);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(rig.dir + "/bin/x0zavserver: cannot run the server core "
                                 "/etc/zav/x0zavserver-core: Permission denied"),
            std::string::npos)
      << r.err;
  // A script is not run: the core is a compiled program.
  opt.extraShell = "printf '#!/bin/sh\\necho script ran\\n' >/etc/zav/x0zavserver-core; chmod "
                   "0755 /etc/zav/x0zavserver-core";
  r = rig.run(user, {"report"}, opt);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, rig.dir + "/bin/x0zavserver: cannot run the server core "
                             "/etc/zav/x0zavserver-core: it must be a compiled program, not a "
                             "script, and the program loader it names must be installed\n");
}

// A core that anyone but root could have changed is never run: its code
// would run as every user who starts the launcher, holding their channel to
// the root co-process. The message names the core and what is wrong.
TEST_F(LauncherTest, CoreThatOthersCouldChangeIsNotRun) {
  std::string other = users.addUser("zavlo", "");
  const std::string core = "/etc/zav/x0zavserver-core";
  const std::string refused =
      rig.dir + "/bin/x0zavserver: the server core " + core + " is not run: ";
  struct Case {
    const char* what;
    std::string extraShell;
    std::string why;
  } cases[] = {
      {"core owned by another user", "chown " + other + " " + core,
       "it belongs to user " + other + ", not to root"},
      {"core writable by its group", "chmod 0775 " + core,
       "it can be changed by users other than root (mode 0775)"},
      {"core writable by others", "chmod 0757 " + core,
       "it can be changed by users other than root (mode 0757)"},
      {"folder writable by others", "chmod 0777 /etc/zav",
       "the folder /etc/zav can be changed by users other than root (mode 0777)"},
      {"folder owned by another user", "chown " + other + " /etc/zav",
       "the folder /etc/zav belongs to user " + other + ", not to root"},
      {"core a link", "mv " + core + " /etc/zav/real-core; ln -s real-core " + core,
       "it is a symbolic link; the core itself must be installed there"},
      {"folder a link", "mv /etc/zav /etc/zav-real; ln -s zav-real /etc/zav",
       "/etc/zav is a symbolic link; the core must be reached without links"},
      {"core a folder", "rm " + core + "; mkdir " + core, "it is not a regular file"},
  };
  // Changes made in the namespace stay in the rig's layer over /etc: each
  // case starts from the core as the rig installs it.
  auto reinstall = [&] {
    std::string zav = rig.dir + "/etcup/zav";
    ASSERT_EQ(LauncherRig::sh("rm -rf '" + zav + "' '" + zav + "-real' && mkdir -m 0755 '" + zav +
                              "' && install -m 0755 '" ZAV_STANDIN_CORE "' '" + zav +
                              "/x0zavserver-core'"),
              0);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reinstall();
    LauncherRig::Options opt;
    opt.extraShell = c.extraShell;
    auto r = rig.run(user, {"report"}, opt);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "") << "the core ran";
    EXPECT_EQ(r.err, refused + c.why + "\n");
  }
  // Installed as the rig installs it, the core runs again: nothing else
  // stopped it.
  reinstall();
  auto r = rig.run(user, {"report"});
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(LauncherTest, CoprocessIsRootWithACleanProcessState) {
  rig.addPamService("zavprobe", "auth required " ZAV_PAM_PROBE " out=" + rig.dir +
                                    "/probe/state\nauth required pam_permit.so\n");
  LauncherRig::Options opt;
  opt.extraShell = "echo private >" + rig.dir +
                   "/userfile; export ZAV_MARK=1; umask 000; "
                   "ulimit -S -f 64; ulimit -S -t 100; ulimit -S -s 4096; "
                   // Finite, and far above what the sanitizers reserve.
                   "ulimit -S -d 1125899906842624; ulimit -S -v 1125899906842624; "
                   "trap '' INT TERM HUP USR1; cd /tmp";
  opt.redirects = "7<" + rig.dir + "/userfile";
  auto r =
      rig.run(user, {"PamApplicationName=zavprobe", "pam", user, "x", "costatus", "finish"}, opt);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(hasLine(r.out, "coprocess exit 0")) << r.out << r.err;
  EXPECT_TRUE(hasLine(r.out, "co Uid:\t0\t0\t0\t0")) << r.out;
  EXPECT_TRUE(hasLine(r.out, "co Gid:\t0\t0\t0\t0")) << r.out;
  std::vector<std::string> groups = linesWith(r.out, "co Groups:");
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].find_first_not_of(" \t"), std::string::npos) << groups[0];
  // Of the classic signals only SIGXFSZ is ignored (the C library keeps
  // its own real-time signals to itself).
  std::vector<std::string> ignored = linesWith(r.out, "co SigIgn:\t");
  ASSERT_EQ(ignored.size(), 1u);
  EXPECT_EQ(std::stoull(ignored[0], nullptr, 16) & 0x7fffffffu, 1u << (SIGXFSZ - 1)) << r.out;
  EXPECT_TRUE(hasLine(r.out, "co SigBlk:\t0000000000000000")) << r.out;
  EXPECT_TRUE(hasLine(r.out, "co Umask:\t0077")) << r.out;
  // The user's limits on processor time and memory do not bind it.
  for (const char* limit : {"cpu-time unlimited", "data-size unlimited", "address-space unlimited",
                            "stack-size 8388608"})
    EXPECT_TRUE(hasLine(r.out, std::string("co limit ") + limit)) << r.out;

  std::string probe = LauncherRig::read(rig.dir + "/probe/state");
  // PAM modules run with the launching user as the real user.
  EXPECT_TRUE(hasLine(probe, "uids " + std::to_string(uid) + " 0 0")) << probe;
  EXPECT_TRUE(hasLine(probe, "envcount 0")) << probe;
  EXPECT_TRUE(hasLine(probe, "umask 077")) << probe;
  EXPECT_TRUE(hasLine(probe, "cwd /")) << probe;
  EXPECT_TRUE(hasLine(probe, "fsize unlimited")) << probe;
  EXPECT_TRUE(hasLine(probe, "core 0")) << probe;
  EXPECT_TRUE(hasLine(probe, "blocked 0")) << probe;
  EXPECT_TRUE(hasLine(probe, "ignored 1")) << probe; // SIGXFSZ
  EXPECT_EQ(probe.find("userfile"), std::string::npos) << probe;
}

TEST_F(LauncherTest, CoprocessThatCannotBecomeRootEndsWithAMessage) {
  // Without the set-user-id bit the co-process cannot become root: it must
  // say so and end, never serve requests as the user.
  ASSERT_EQ(LauncherRig::sh("chmod u-s " + rig.dir + "/bin/x0zavserver"), 0);
  auto r = rig.run(user, {"etc", user, "Secret-1", "finish"});
  std::vector<std::string> verify = linesWith(r.out, "verify ");
  ASSERT_EQ(verify.size(), 1u) << r.out;
  EXPECT_EQ(verify[0].compare(0, 2, "2 "), 0) << verify[0]; // the channel broke
  EXPECT_TRUE(hasLine(r.out, "coprocess exit 1")) << r.out;
  EXPECT_NE(r.err.find(rig.dir + "/bin/x0zavserver must be installed set-user-id root (owner "
                                 "root, mode 4755) to check passwords and set up printers; it "
                                 "runs as user "),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("setgroups"), std::string::npos) << r.err;
}

TEST_F(LauncherTest, SetUserIdRootThatTheKernelIgnoredIsToldApart) {
  // The file is set-user-id root in every case: the message says why it did
  // not take, not that it must be installed so.
  struct Case {
    const char* what;
    std::string extraShell, setprivOptions;
    std::string why;
  } cases[] = {
      {"nosuid mount", "mount -o remount,bind,nosuid " + rig.dir + "/bin", "",
       "its file system is mounted nosuid"},
      {"no_new_privs", "", "--no-new-privs",
       "it was started with no_new_privs set, which keeps it from becoming root"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LauncherRig::Options opt;
    opt.extraShell = c.extraShell;
    opt.setprivOptions = c.setprivOptions;
    auto r = rig.run(user, {"etc", user, "Secret-1", "finish"}, opt);
    EXPECT_TRUE(hasLine(r.out, "coprocess exit 1")) << r.out;
    EXPECT_NE(r.err.find(rig.dir + "/bin/x0zavserver is set-user-id root, but " + c.why +
                         ": it runs as user " + std::to_string(uid) +
                         " and cannot check passwords or set up printers\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("must be installed"), std::string::npos) << r.err;
  }
}

TEST_F(LauncherTest, RequestFramesEndTheCoprocess) {
  std::string etc = frame("EtcPasswdVerifier");
  std::string pam = frame("PamVerifier");
  struct Case {
    const char* what;
    std::string bytes;
    int status;
    const char* message; // on the launcher's standard error
  } cases[] = {
      {"nothing", "", 0, nullptr},
      {"unknown module", frame("Bogus"), 1, "Unknown module: Bogus"},
      {"empty module name", std::string(1, '\0'), 1, "Unknown module: \n"},
      {"module name cut short",
       "\x11"
       "EtcPass",
       1, "End of stream"},
      {"huge user length", etc + u32(0xFFFFFFFF), 1, "String exceeds maximum length"},
      {"user one byte too long", etc + u32(257) + std::string(257, 'a'), 1,
       "String exceeds maximum length"},
      {"user cut short", etc + u32(10) + "abc", 1, "End of stream"},
      {"huge password length", etc + str("a") + u32(0x80000000), 1,
       "String exceeds maximum length"},
      {"service name cut short", pam + str("a") + str("b") + "\x09zav", 1, "End of stream"},
      {"service name not UTF-8", pam + str("a") + str("b") + "\x02\xff\xfe", 1,
       "Invalid UTF-8 encoding for PamApplicationName"},
      {"request then unknown module", etc + str("nosuchuser") + str("x") + frame("Nope"), 1,
       "Unknown module: Nope"},
  };
  std::vector<std::vector<std::string>> runs;
  for (const Case& c : cases)
    runs.push_back({"raw", hexOf(c.bytes), "finish"});
  auto results = rig.runParallel(user, runs);
  for (size_t i = 0; i < results.size(); i++) {
    const Case& c = cases[i];
    EXPECT_EQ(results[i].status, 0) << c.what << results[i].err;
    EXPECT_TRUE(hasLine(results[i].out, "coprocess exit " + std::to_string(c.status)))
        << c.what << "\n"
        << results[i].out << results[i].err;
    if (c.message)
      EXPECT_NE(results[i].err.find(c.message), std::string::npos) << c.what << results[i].err;
    else
      EXPECT_EQ(results[i].err, "") << c.what;
  }
}

TEST_F(LauncherTest, ExactFitStringsAreServed) {
  std::string bytes =
      frame("EtcPasswdVerifier") + str(std::string(256, 'u')) + str(std::string(256, 'p'));
  auto r = rig.run(user, {"raw", hexOf(bytes), "finish", "reply"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(hasLine(r.out, "coprocess exit 0")) << r.out << r.err;
  std::string text = "Either the username was not recognised, or the password was incorrect";
  EXPECT_TRUE(hasLine(r.out, "reply 01" + hexOf(str(text)))) << r.out;
}

TEST_F(LauncherTest, OverlongNameOrPasswordLeavesTheCoprocessServing) {
  // Names and passwords come from the network; one the co-process would not
  // take must not end it and so break every later verification.
  std::string failure =
      "verify 1 Either the username was not recognised, or the password was incorrect";
  struct Case {
    const char* what;
    std::string module, name, password;
    std::string first; // the stand-in core's line for the first request
  } cases[] = {
      {"password of 257 bytes", "etc", user, std::string(257, 'p'), failure},
      {"name of 257 bytes", "etc", std::string(257, 'u'), "Secret-1", failure},
      {"both of 5000 bytes", "etc", std::string(5000, 'u'), std::string(5000, 'p'), failure},
      {"pam password of 300 bytes", "pam", user, std::string(300, 'p'), failure},
      {"password of 256 bytes", "etc", user, std::string(256, 'p'), failure},
  };
  std::vector<std::vector<std::string>> runs;
  for (const Case& c : cases)
    runs.push_back({"AllowedUsers=*:v", "PamApplicationName=zavunix", c.module, c.name, c.password,
                    "etc", user, "Secret-1", "finish"});
  rig.addPamService("zavunix", "auth required pam_unix.so nodelay\n");
  auto results = rig.runParallel(user, runs);
  for (size_t i = 0; i < results.size(); i++) {
    const Case& c = cases[i];
    std::vector<std::string> verify = linesWith(results[i].out, "verify ");
    ASSERT_EQ(verify.size(), 2u) << c.what << results[i].out << results[i].err;
    EXPECT_EQ("verify " + verify[0], c.first) << c.what;
    EXPECT_EQ(verify[1], "0 " + user + "|v|View") << c.what << results[i].err;
    EXPECT_TRUE(hasLine(results[i].out, "coprocess exit 0")) << c.what << results[i].out;
  }
}

TEST_F(LauncherTest, CoreThatStopsListeningEndsTheCoprocessInItsOwnWay) {
  // The core goes away with a request outstanding: the co-process must not
  // be killed by the reply it can no longer deliver, but end like a core
  // that closed the request pipe.
  std::string request = frame("EtcPasswdVerifier") + str("nosuchuser") + str("x");
  struct Case {
    const char* what;
    std::vector<std::string> args;
  } cases[] = {
      {"request, then the reply pipe closed", {"raw", hexOf(request), "closereply", "finish"}},
      {"reply pipe closed, then a request", {"closereply", "raw", hexOf(request), "finish"}},
      {"two requests", {"closereply", "raw", hexOf(request + request), "finish"}},
  };
  std::vector<std::vector<std::string>> runs;
  for (const Case& c : cases)
    runs.push_back(c.args);
  auto results = rig.runParallel(user, runs);
  for (size_t i = 0; i < results.size(); i++) {
    EXPECT_TRUE(hasLine(results[i].out, "coprocess exit 0")) << cases[i].what << "\n"
                                                             << results[i].out << results[i].err;
    EXPECT_EQ(results[i].err, "") << cases[i].what;
  }
}

TEST_F(LauncherTest, PamRunsWithTheUsersGroups) {
  // Not root's group: what the PAM stack runs or writes gets the launching
  // user's primary and secondary groups.
  std::string extra = users.addGroup("zavgrp");
  std::string member = users.addUser("zavgm", "", extra);
  const struct passwd* pw = getpwnam(member.c_str());
  ASSERT_NE(pw, nullptr);
  const struct group* gr = getgrnam(extra.c_str());
  ASSERT_NE(gr, nullptr);
  rig.addPamService("zavprobe", "auth required " ZAV_PAM_PROBE " out=" + rig.dir +
                                    "/probe/state\nauth required pam_permit.so\n");
  auto r = rig.run(member, {"PamApplicationName=zavprobe", "pam", member, "x", "finish"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(hasLine(r.out, "coprocess exit 0")) << r.out << r.err;
  std::string probe = LauncherRig::read(rig.dir + "/probe/state");
  EXPECT_TRUE(hasLine(probe, "uids " + std::to_string(pw->pw_uid) + " 0 0")) << probe;
  EXPECT_TRUE(hasLine(probe, "gids " + ids(pw->pw_gid))) << probe;
  std::vector<std::string> groups = linesWith(probe, "groups ");
  ASSERT_EQ(groups.size(), 1u) << probe;
  std::istringstream list(groups[0]);
  std::set<unsigned> held{std::istream_iterator<unsigned>(list), std::istream_iterator<unsigned>()};
  EXPECT_EQ(held, (std::set<unsigned>{unsigned(pw->pw_gid), unsigned(gr->gr_gid)})) << probe;
}

TEST_F(LauncherTest, TerminalSignalsLeaveTheCoprocessServing) {
  // The launcher as a terminal's job: its process group gets ^C, ^\ and the
  // hang-up. The core may handle them (the stand-in ignores them); the
  // co-process must go on serving and end only when the core closes.
  LauncherRig::Options opt;
  opt.wrapper = "setsid -w";
  opt.extraShell = LauncherRig::terminalSignalSender();
  std::vector<std::string> args = {"ignoreterminal"};
  for (const std::string& a : LauncherRig::terminalSignalStep())
    args.push_back(a);
  args.insert(args.end(), {"etc", "zav-no-such-user", "x", "finish"});
  auto r = rig.run(user, args, opt);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(hasLine(r.out, "sh 0")) << r.out;
  EXPECT_TRUE(hasLine(
      r.out, "verify 1 Either the username was not recognised, or the password was incorrect"))
      << r.out << r.err;
  EXPECT_TRUE(hasLine(r.out, "coprocess exit 0")) << r.out << r.err;
}

} // namespace
