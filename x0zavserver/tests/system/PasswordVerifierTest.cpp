#include "LauncherRig.h"
#include "TestUsers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <pwd.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using testing_support::LauncherRig;
using testing_support::TestUsers;

const std::string failureText =
    "Either the username was not recognised, or the password was incorrect";

std::vector<std::string> linesWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, prefix.size(), prefix) == 0)
      out.push_back(line);
  return out;
}

int countLines(const std::vector<std::string>& lines, const std::string& tail) {
  int n = 0;
  for (const std::string& l : lines)
    if (l.find(" zavserver: " + tail) != std::string::npos)
      n++;
  return n;
}

class PasswordVerifierTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!LauncherRig::unsupportedReason().empty())
      GTEST_SKIP() << LauncherRig::unsupportedReason();
    group = users.addGroup("zavpg");
    user = users.addUser("zavpv", "Secret-1", group);
    other = users.addUser("zavpo", "Other-22");
    const struct passwd* pw = getpwnam(user.c_str());
    ASSERT_NE(pw, nullptr);
    uid = pw->pw_uid;
    rig.addPamService("zavunix",
                      "auth required pam_unix.so nodelay\naccount required pam_unix.so\n");
    rig.addPamService("zavpermit", "auth required pam_permit.so\naccount required pam_permit.so\n");
    rig.addPamService("zavdeny", "auth required pam_deny.so\naccount required pam_permit.so\n");
    rig.addPamService("zavrootok", "auth sufficient pam_rootok.so\nauth required pam_unix.so "
                                   "nodelay\naccount required pam_unix.so\n");
  }

  std::string blacklistFile() const { return rig.blacklistDir() + "/" + std::to_string(uid); }
  long blacklistSize() const {
    struct stat st;
    return stat(blacklistFile().c_str(), &st) == 0 ? long(st.st_size) : -1;
  }

  TestUsers users;
  LauncherRig rig;
  std::string group, user, other;
  uid_t uid = 0;
};

TEST_F(PasswordVerifierTest, EtcPasswdVerifier) {
  struct Case {
    std::string name, password, params;
    std::string verify; // the stand-in core's line
    std::string syslog; // a line that must be logged
  } cases[] = {
      {user, "Secret-1", "AllowedUsers=" + user + ":vk", "verify 0 " + user + "|vk|View KeyEvents",
       user + ": Session started: View KeyEvents access"},
      // The default ":f" gives the user running the core full rights: empty it.
      {user, "Secret-1", "AllowedUsers=,AllowedGroups=" + group + ":t",
       "verify 0 " + user + "|t|FileTransfer", user + ": Session started: FileTransfer access"},
      {user, "Secret-1", "AllowedUsers=", "verify 0 " + user + "||No",
       user + ": Session started: No access"},
      {user, "Secret-1", "AllowedUsers=*:f", "verify 0 " + user + "|f|Full",
       user + ": Session started: Full access"},
      {user, "Secret-1", "AllowedUsers=" + other + ":f", "verify 0 " + user + "||No",
       user + ": Session started: No access"},
      {user, "wrong", "AllowedUsers=*:f", "verify 1 " + failureText, user + ": " + failureText},
      {user, "", "AllowedUsers=*:f", "verify 1 " + failureText, user + ": " + failureText},
      {"nosuchuser", "x", "AllowedUsers=*:f", "verify 1 " + failureText,
       "nosuchuser: " + failureText},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args;
    std::string params = c.params;
    for (size_t comma; (comma = params.find(",Allowed")) != std::string::npos;) {
      args.push_back(params.substr(0, comma));
      params = params.substr(comma + 1);
    }
    args.insert(args.end(), {params, "etc", c.name, c.password});
    auto r = rig.run(user, args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(linesWith(r.out, "verify "), std::vector<std::string>{c.verify}) << c.params << r.err;
    std::vector<std::string> log = rig.syslogLines();
    EXPECT_TRUE(LauncherRig::hasLine(log, c.syslog)) << c.syslog;
    if (c.verify.compare(0, 8, "verify 0") == 0) {
      EXPECT_TRUE(LauncherRig::hasLine(log, c.name + ": Session ended"));
    }
  }
}

TEST_F(PasswordVerifierTest, EmptyPasswordFieldAcceptsAnyPassword) {
  // The field empty in the user database itself (only inside the test's
  // namespace), then empty in the shadow database.
  LauncherRig::Options opt;
  opt.extraShell = "sed -i 's/^" + other + ":x:/" + other + "::/' /etc/passwd";
  auto r = rig.run(user, {"AllowedUsers=*:v", "etc", other, "anything at all"}, opt);
  EXPECT_EQ(linesWith(r.out, "verify "), std::vector<std::string>{"verify 0 " + other + "|v|View"})
      << r.err;
  // Each run mounts the overlay afresh: without the edited copy the entry is
  // back to normal.
  ASSERT_EQ(unlink((rig.dir + "/etcup/passwd").c_str()), 0);
  r = rig.run(user, {"etc", other, "anything at all"});
  EXPECT_EQ(linesWith(r.out, "verify 1 ").size(), 1u) << r.out;

  users.setPasswdField(other, "");
  r = rig.run(user, {"AllowedUsers=*:v", "etc", other, "anything at all"});
  EXPECT_EQ(linesWith(r.out, "verify "), std::vector<std::string>{"verify 0 " + other + "|v|View"})
      << r.err;
}

TEST_F(PasswordVerifierTest, PamVerifier) {
  struct Case {
    std::string service, name, password;
    std::string verify;
  } cases[] = {
      {"zavunix", user, "Secret-1", "verify 0 " + user + "|f|Full"},
      {"zavunix", user, "wrong", "verify 1 " + failureText},
      {"zavunix", "nosuchuser", "x", "verify 1 " + failureText},
      {"zavpermit", other, "anything", "verify 0 " + other + "|f|Full"},
      {"zavdeny", user, "Secret-1", "verify 1 " + failureText},
      // Root's shortcut must not open the door to a wrong password.
      {"zavrootok", user, "wrong", "verify 1 " + failureText},
      {"zavrootok", user, "Secret-1", "verify 0 " + user + "|f|Full"},
      // An empty name is the launching user's, never root's.
      {"zavunix", "", "Secret-1", "verify 0 |f|Full"},
      {"zavrootok", "", "wrong", "verify 1 " + failureText},
      {"../pam.d/zavpermit", user, "x", "verify 2 Invalid PAM service name"},
      {".zavpermit", user, "x", "verify 2 Invalid PAM service name"},
      {"zav permit", user, "x", "verify 2 Invalid PAM service name"},
  };
  // In batches, with the failure count cleared between them, so the
  // blacklist stays out of the way.
  const size_t batch = 6;
  size_t count = sizeof(cases) / sizeof(cases[0]);
  for (size_t first = 0; first < count; first += batch) {
    std::vector<std::vector<std::string>> runs;
    for (size_t i = first; i < count && i < first + batch; i++)
      runs.push_back({"AllowedUsers=*:f", "PamApplicationName=" + cases[i].service, "pam",
                      cases[i].name, cases[i].password});
    auto results = rig.runParallel(user, runs);
    for (size_t i = 0; i < results.size(); i++) {
      const Case& c = cases[first + i];
      EXPECT_EQ(linesWith(results[i].out, "verify "), std::vector<std::string>{c.verify})
          << c.service << " '" << c.name << "' " << c.password << "\n"
          << results[i].err;
    }
    unlink(blacklistFile().c_str());
  }
}

TEST_F(PasswordVerifierTest, MissingPamLibraryIsNotAvailable) {
  LauncherRig::Options opt;
  opt.hidePam = true;
  auto r = rig.run(user, {"PamApplicationName=zavunix", "pam", user, "Secret-1"}, opt);
  EXPECT_EQ(linesWith(r.out, "verify "),
            std::vector<std::string>{"verify 3 pam_start pam_authenticate pam_end not found."})
      << r.err;
}

TEST_F(PasswordVerifierTest, BlacklistBlocksAfterTenFailures) {
  std::vector<std::string> args;
  for (int i = 0; i < 11; i++)
    args.insert(args.end(), {"etc", user, "wrong"});
  auto r = rig.run(user, args);
  std::vector<std::string> lines = linesWith(r.out, "verify ");
  ASSERT_EQ(lines.size(), 11u) << r.err;
  for (int i = 0; i < 10; i++)
    EXPECT_EQ(lines[i], "verify 1 " + failureText);
  EXPECT_EQ(lines[10], "verify 1 Too many security failures");
  // The file's time counts in whole seconds.
  EXPECT_TRUE(r.err.find("Blacklist active: last attempt 0s ago\n") != std::string::npos ||
              r.err.find("Blacklist active: last attempt 1s ago\n") != std::string::npos)
      << r.err;
  // The eleventh attempt never reached the verifier, and was not counted.
  EXPECT_EQ(countLines(rig.syslogLines(), user + ": " + failureText), 10);
  EXPECT_EQ(blacklistSize(), 10);

  struct stat st;
  ASSERT_EQ(stat(rig.blacklistDir().c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  ASSERT_EQ(stat(blacklistFile().c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  // Still blocked for the right password.
  r = rig.run(user, {"etc", user, "Secret-1"});
  EXPECT_EQ(linesWith(r.out, "verify "),
            std::vector<std::string>{"verify 1 Too many security failures"});

  // Sixty seconds after the last counted attempt the count starts afresh.
  struct timeval past[2];
  gettimeofday(&past[0], nullptr);
  past[0].tv_sec -= 60;
  past[1] = past[0];
  ASSERT_EQ(utimes(blacklistFile().c_str(), past), 0);
  r = rig.run(user, {"AllowedUsers=*:v", "etc", user, "Secret-1"});
  EXPECT_EQ(linesWith(r.out, "verify "), std::vector<std::string>{"verify 0 " + user + "|v|View"})
      << r.err;
  EXPECT_EQ(blacklistSize(), 0);
}

TEST_F(PasswordVerifierTest, BlacklistJustUnderSixtySecondsStillBlocks) {
  std::vector<std::string> args;
  for (int i = 0; i < 10; i++)
    args.insert(args.end(), {"etc", user, "wrong"});
  rig.run(user, args);
  ASSERT_EQ(blacklistSize(), 10);
  struct timeval past[2];
  gettimeofday(&past[0], nullptr);
  past[0].tv_sec -= 52; // leaves the launcher a few seconds to start on a loaded machine
  past[1] = past[0];
  ASSERT_EQ(utimes(blacklistFile().c_str(), past), 0);
  auto r = rig.run(user, {"etc", user, "Secret-1"});
  EXPECT_EQ(linesWith(r.out, "verify "),
            std::vector<std::string>{"verify 1 Too many security failures"});
  EXPECT_NE(r.err.find("Blacklist active: last attempt 5"), std::string::npos) << r.err;
}

TEST_F(PasswordVerifierTest, SuccessTakesBackOneAttempt) {
  auto r = rig.run(user, {"etc", user, "a", "etc", user, "b", "pam", user, "c",
                          "PamApplicationName=zavunix", "etc", user, "Secret-1"});
  EXPECT_EQ(linesWith(r.out, "verify 1 ").size(), 3u) << r.out << r.err;
  EXPECT_EQ(linesWith(r.out, "verify 0 ").size(), 1u) << r.out;
  EXPECT_EQ(blacklistSize(), 3);
}

TEST_F(PasswordVerifierTest, ParallelLaunchersCountEveryAttempt) {
  std::vector<std::string> args;
  for (int i = 0; i < 4; i++)
    args.insert(args.end(), {"etc", user, "wrong"});
  auto results = rig.runParallel(user, {args, args});
  for (const auto& r : results)
    EXPECT_EQ(linesWith(r.out, "verify 1 " + failureText).size(), 4u) << r.out << r.err;
  EXPECT_EQ(blacklistSize(), 8);
}

TEST_F(PasswordVerifierTest, UnsafeBlacklistPlacesRefuseVerification) {
  struct Case {
    const char* what;
    std::string setup; // shell text run in the namespace before the launcher
  } cases[] = {
      {"symlink planted as the file",
       "mkdir -m 700 /run/zavserver-auth; ln -s /etc/zav/target /run/zavserver-auth/" +
           std::to_string(uid)},
      {"directory owned by the user",
       "mkdir -m 700 /run/zavserver-auth; chown " + user + " /run/zavserver-auth"},
      {"symlink planted as the directory",
       "mkdir -m 700 /run/elsewhere; ln -s elsewhere /run/zavserver-auth"},
      {"file in place of the directory", "touch /run/zavserver-auth"},
  };
  for (const Case& c : cases) {
    LauncherRig::Options opt;
    opt.extraShell = "rm -rf /run/zavserver-auth /run/elsewhere /etc/zav/target; " + c.setup;
    auto r = rig.run(user, {"etc", user, "Secret-1"}, opt);
    std::vector<std::string> lines = linesWith(r.out, "verify ");
    ASSERT_EQ(lines.size(), 1u) << c.what << r.err;
    EXPECT_EQ(lines[0].compare(0, 9, "verify 2 "), 0) << c.what << ": " << lines[0];
    EXPECT_FALSE(access((rig.dir + "/etcup/zav/target").c_str(), F_OK) == 0) << c.what;
  }
}

TEST_F(PasswordVerifierTest, FileSizeLimitNeverLetsAnAttemptGoUncounted) {
  struct Case {
    const char* limit;
    bool liftable; // whether the co-process can always lift it
  } cases[] = {{"ulimit -S -f 0", true}, {"ulimit -f 0", false}};
  for (const Case& c : cases) {
    LauncherRig::Options opt;
    opt.launcherPrefix = c.limit;
    auto r = rig.run(user, {"AllowedUsers=*:v", "etc", user, "Secret-1"}, opt);
    std::vector<std::string> lines = linesWith(r.out, "verify ");
    ASSERT_EQ(lines.size(), 1u) << c.limit << r.out;
    if (c.liftable || lines[0] == "verify 0 " + user + "|v|View") {
      EXPECT_EQ(lines[0], "verify 0 " + user + "|v|View") << c.limit;
      EXPECT_EQ(blacklistSize(), 0) << c.limit;
    } else {
      // Without the right to raise a hard limit the attempt cannot be
      // counted, and it is refused rather than verified uncounted.
      EXPECT_EQ(lines[0], "verify 2 Unable to record the authentication attempt") << r.out;
      EXPECT_EQ(blacklistSize(), 0);
    }
  }
}

TEST_F(PasswordVerifierTest, WithoutTheCoprocessVerificationRunsInProcess) {
  LauncherRig::Options opt;
  opt.direct = true;
  auto r = rig.run(user, {"AllowedUsers=*:c", "etc", user, "Secret-1", "etc", user, "wrong"}, opt);
  EXPECT_EQ(
      linesWith(r.out, "verify "),
      (std::vector<std::string>{"verify 0 " + user + "|c|CutText", "verify 1 " + failureText}))
      << r.err;
  EXPECT_NE(access(rig.blacklistDir().c_str(), F_OK), 0);
  EXPECT_TRUE(LauncherRig::hasLine(rig.syslogLines(), user + ": Session started: CutText access"));
}

} // namespace

// User names come from the network: control characters in them must not
// reach the system log, where a newline would start a forged line, nor
// marks that hide or reorder the text, nor bytes that are not UTF-8. Each
// byte of them, and the backslash itself (so that a literal "\x0a" is told
// from a newline), is written as "\xNN"; the rest of each line stays.
TEST_F(PasswordVerifierTest, ControlCharactersInNamesAreEscapedInTheSystemLog) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> syslog; // lines that must be logged
  } cases[] = {
      {{"AllowedUsers=*:f", "etc", "nobody\nzavserver: root: Session started: Full access", "x"},
       {"nobody\\x0azavserver: root: Session started: Full access: " + failureText}},
      {{"AllowedUsers=*:f", "PamApplicationName=zavpermit", "pam", "a\tb\x7f\x1b[2J\r", "x"},
       {"a\\x09b\\x7f\\x1b[2J\\x0d: Session started: Full access",
        "a\\x09b\\x7f\\x1b[2J\\x0d: Session ended"}},
      {{"AllowedUsers=*:f", "PamApplicationName=zavpermit", "pam", "n\\012x", "x"},
       {"n\\x5c012x: Session started: Full access"}},
      {{"AllowedUsers=*:f", "PamApplicationName=zavpermit", "pam",
        "u\xc2\x9b"
        "1m\xe2\x80\xaetxt\xff",
        "x"},
       {"u\\xc2\\x9b1m\\xe2\\x80\\xaetxt\\xff: Session started: Full access"}},
  };
  for (const Case& c : cases) {
    auto r = rig.run(user, c.args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> log = rig.syslogLines();
    for (const std::string& line : c.syslog)
      EXPECT_TRUE(LauncherRig::hasLine(log, line)) << line;
    for (const std::string& l : log)
      for (char ch : l)
        EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f)
            << "control character " << int(ch) << " in the line: " << l;
    unlink(blacklistFile().c_str());
  }
}

TEST_F(PasswordVerifierTest, ChannelStaysReadyAfterTenThousandMixedRequests) {
  // Refusals, acceptances, printing and single sign-on requests in a row
  // over the one channel of a core, as remote viewers guessing passwords
  // cause them; then, once a minute has passed for the blacklist (root
  // ages its file when the core asks through a FIFO), the right password
  // through both modules.
  LauncherRig::Options opt;
  opt.extraShell = "mkfifo -m 0666 /run/zavage /run/zavaged\n"
                   "( read x < /run/zavage; touch -d '2 minutes ago' " +
                   std::string("/run/zavserver-auth/") + std::to_string(uid) +
                   "; echo > /run/zavaged ) &\n";
  auto r = rig.run(user,
                   {"AllowedUsers=*:f", "PamApplicationName=zavunix", "mixed", "10000", user, "sh",
                    "echo > /run/zavage; cat /run/zavaged", "etc", user, "Secret-1", "pam", user,
                    "Secret-1", "finish"},
                   opt);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(linesWith(r.out, "mixed "), std::vector<std::string>{"mixed 10000 answered, 0 wrong"})
      << r.out;
  EXPECT_EQ(linesWith(r.out, "first wrong "), std::vector<std::string>{}) << r.out;
  EXPECT_EQ(linesWith(r.out, "verify "), (std::vector<std::string>{"verify 0 " + user + "|f|Full",
                                                                   "verify 0 " + user + "|f|Full"}))
      << r.err;
  EXPECT_NE(r.out.find("coprocess exit 0"), std::string::npos) << r.out;
}

TEST_F(PasswordVerifierTest, AccountsThatMayNotBeUsedAreRefusedWithTheReason) {
  // The right password of an account that has expired, is locked, or whose
  // password has expired: refused through both modules, saying why; a
  // wrong password says only that. The account of the other user is
  // changed, as its administrator would.
  struct Case {
    const char* what;
    std::string change; // run in the namespace, on the private /etc
    std::string etc, pam;
  } cases[] = {
      {"unchanged", "true", "verify 0 " + other + "|f|Full", "verify 0 " + other + "|f|Full"},
      {"expired", "chage -E 1 " + other, "verify 1 The account has expired",
       "verify 1 The account has expired"},
      {"expires in the future", "chage -E 2999-01-01 " + other, "verify 0 " + other + "|f|Full",
       "verify 0 " + other + "|f|Full"},
      // The day given is the first on which the account may not be used.
      {"expires today", "chage -E $(($(date +%s) / 86400)) " + other,
       "verify 1 The account has expired", "verify 1 The account has expired"},
      {"expires tomorrow", "chage -E $(($(date +%s) / 86400 + 1)) " + other,
       "verify 0 " + other + "|f|Full", "verify 0 " + other + "|f|Full"},
      // A password may be used on the last day of its maximum age.
      {"password at its maximum age", "chage -d $(($(date +%s) / 86400 - 30)) -M 30 " + other,
       "verify 0 " + other + "|f|Full", "verify 0 " + other + "|f|Full"},
      {"password a day past it", "chage -d $(($(date +%s) / 86400 - 31)) -M 30 " + other,
       "verify 1 The password has expired and must be changed",
       "verify 1 The password has expired and must be changed"},
      {"locked", "usermod -L " + other, "verify 1 The account is locked",
       "verify 1 " + failureText},
      {"password must be changed", "chage -d 0 " + other,
       "verify 1 The password has expired and must be changed",
       "verify 1 The password has expired and must be changed"},
      {"password too old", "chage -d 2000-01-01 -M 30 " + other,
       "verify 1 The password has expired and must be changed",
       "verify 1 The password has expired and must be changed"},
  };
  for (const Case& c : cases) {
    LauncherRig::Options opt;
    opt.extraShell = c.change + " >/dev/null";
    auto r = rig.run(user,
                     {"AllowedUsers=*:f", "PamApplicationName=zavunix", "etc", other, "Other-22",
                      "pam", other, "Other-22", "etc", other, "wrong", "pam", other, "wrong"},
                     opt);
    EXPECT_EQ(linesWith(r.out, "verify "),
              (std::vector<std::string>{c.etc, c.pam, "verify 1 " + failureText,
                                        "verify 1 " + failureText}))
        << c.what << "\n"
        << r.err;
    unlink(blacklistFile().c_str());
    // The private /etc of the namespace is made afresh for the next case.
    LauncherRig::sh("rm -f '" + rig.dir + "/etcup/shadow' '" + rig.dir + "/etcup/passwd'");
  }
}

TEST_F(PasswordVerifierTest, UserCannotKillOrStopTheCoprocess) {
  // A PAM module runs a program of the user's choosing as the user (as
  // pam_exec does by default), which kills or stops the process that runs
  // the conversation: only that check is refused. The co-process itself
  // cannot be signalled by the user, and serves on.
  struct Case {
    const char* signal;
    const char* number;
  };
  for (const Case& c : {Case{"KILL", "9"}, Case{"STOP", "19"}}) {
    std::string script = rig.dir + "/etcup/zav/signal-parent";
    std::ofstream(script) << "#!/bin/sh\nkill -" << c.signal << " $PPID\n";
    chmod(script.c_str(), 0755);
    rig.addPamService("zavsignal", "auth required pam_exec.so /etc/zav/signal-parent\n"
                                   "account required pam_permit.so\n");
    auto r = rig.run(user,
                     {"AllowedUsers=*:f", "service", "zavsignal", "pam", user, "Secret-1", "killco",
                      c.number, "service", "zavunix", "pam", user, "Secret-1", "finish"});
    EXPECT_EQ(r.status, 0) << c.signal << "\n" << r.err;
    EXPECT_EQ(linesWith(r.out, "verify "),
              (std::vector<std::string>{"verify 1 The password check was ended by a signal",
                                        "verify 0 " + user + "|f|Full"}))
        << c.signal << "\n"
        << r.out << r.err;
    EXPECT_EQ(linesWith(r.out, "killco "),
              std::vector<std::string>{"killco Operation not permitted"})
        << c.signal;
    EXPECT_NE(r.out.find("coprocess exit 0"), std::string::npos) << c.signal << "\n" << r.out;
    unlink(blacklistFile().c_str());
  }
}

TEST_F(PasswordVerifierTest, ACheckThatHangsIsEndedAfterItsTimeLimit) {
  // A program the PAM stack runs as the user never ends (the user stopped
  // it): the check is ended after its time limit and refused, and the
  // co-process serves on.
  std::string pids = rig.dir + "/hung-pids";
  std::string script = rig.dir + "/etcup/zav/hang";
  std::ofstream(script) << "#!/bin/sh\necho $$ >> " << pids << "\nkill -STOP $$\n";
  chmod(script.c_str(), 0755);
  std::ofstream(pids).close();
  chmod(pids.c_str(), 0666);
  rig.addPamService("zavhang", "auth required pam_exec.so /etc/zav/hang\n"
                               "account required pam_permit.so\n");
  auto r = rig.run(user, {"AllowedUsers=*:f", "service", "zavhang", "pam", user, "Secret-1",
                          "service", "zavunix", "pam", user, "Secret-1", "finish"});
  LauncherRig::sh("xargs -r kill -KILL < '" + pids + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(linesWith(r.out, "verify "),
            (std::vector<std::string>{"verify 1 The password check took too long",
                                      "verify 0 " + user + "|f|Full"}))
      << r.out << r.err;
  EXPECT_NE(r.out.find("coprocess exit 0"), std::string::npos) << r.out;
}
