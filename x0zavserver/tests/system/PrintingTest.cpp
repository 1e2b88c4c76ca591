// The printing module against a real print server (cupsd on a private
// socket with the stand-in "zav" backend): first the co-process side in this
// process, playing root for a launching user, then end to end through the
// launcher with the stand-in core, where the co-process finds the server
// through the client.conf mounted over /etc/cups.
#include "CupsServer.h"
#include "LauncherRig.h"
#include "PrivateMounts.h"
#include "TempDir.h"
#include "TestUsers.h"
#include "cups/CupsApi.h"
#include "cups/Dests.h"
#include "cups/Printers.h"
#include "plat/unix/Passwd.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"
#include "x0zavserver/unix/PpdCheck.h"
#include "x0zavserver/unix/RootCodePrinting.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using print::RootCodePrinting;
using testing_support::CupsServer;
using testing_support::LauncherRig;
using testing_support::TempDir;
using testing_support::TestUsers;

std::string u16(uint16_t v) {
  return std::string{char(v >> 8), char(v)};
}
std::string u32(uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string str(const std::string& s) {
  return u32(uint32_t(s.size())) + s;
}

std::string addRequest(const std::string& name, const std::string& ppd, const std::string& device,
                       uint32_t uid, int format) {
  return std::string(1, '\0') + str(name) + str("Viewer printer") + str(ppd) + str(device) +
         u32(uid) + std::string(1, char(format));
}
std::string removeRequest(const std::string& name) {
  return std::string(1, '\x01') + str(name);
}
std::string reply(bool ok, uint16_t error) {
  return std::string(1, ok ? '\x01' : '\0') + u16(error);
}

std::string serve(RootCodePrinting& module, const std::string& request) {
  rdr::MemInStream in(request.data(), static_cast<int>(request.size()));
  rdr::MemOutStream out;
  module.handle(in, out);
  EXPECT_EQ(in.avail(), 0) << "request not read to its end";
  return std::string(reinterpret_cast<const char*>(out.data()), out.length());
}

// A listening Unix socket at a path, closed (and its file left behind when
// asked) when the object goes.
class SessionSocket {
public:
  SessionSocket(const std::string& path, bool keepFile) : path_(path), keep_(keepFile) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", path.c_str());
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0) << path;
    EXPECT_EQ(listen(fd_, 4), 0);
  }
  ~SessionSocket() {
    close(fd_);
    if (!keep_)
      unlink(path_.c_str());
  }

private:
  std::string path_;
  bool keep_;
  int fd_;
};

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string toHex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes)
    hex += std::string{digits[c >> 4], digits[c & 15]};
  return hex;
}

// The co-process side in this process: the module serves requests as root
// for the user nobody, who plays the user who started the launcher.
class PrintingModule : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    if (!CupsServer::unsupportedReason().empty())
      return;
    server = new CupsServer;
    setenv("CUPS_SERVER", server->socket().c_str(), 1);
    setenv("CUPS_SERVERROOT", server->dir().c_str(), 1);
    // root's own destination options go to $HOME/.cups.
    const char* home = getenv("HOME");
    savedHome = home ? home : "";
    setenv("HOME", server->dir().c_str(), 1);
  }
  static void TearDownTestSuite() {
    // Programs that later tests start inherit the environment.
    unsetenv("CUPS_SERVER");
    unsetenv("CUPS_SERVERROOT");
    if (server)
      setenv("HOME", savedHome.c_str(), 1);
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    std::string reason = CupsServer::unsupportedReason();
    if (!reason.empty())
      GTEST_SKIP() << reason;
    savedUid = os::RootCode::uid;
    os::Passwd nobody("nobody");
    os::RootCode::uid = nobody.getUid();
  }
  void TearDown() override {
    os::RootCode::uid = savedUid;
    if (server)
      server->client("for q in $(lpstat -e); do lpadmin -x $q; done; rm -f " + server->dir() +
                     "/.cups/lpoptions");
  }

  static CupsServer* server;
  static std::string savedHome;
  uid_t savedUid = 0;
};

CupsServer* PrintingModule::server = nullptr;
std::string PrintingModule::savedHome;

} // namespace

TEST_F(PrintingModule, AddedQueueIsForTheLaunchingUser) {
  RootCodePrinting module;
  // The core asks for root; the queue is the launching user's all the same.
  EXPECT_EQ(serve(module, addRequest("p1", server->ppd(), "7", 0, 1)), reply(true, 0))
      << server->errorLog();
  EXPECT_EQ(server->client("lpstat -v p1"), "device for p1: zav:/PDF/7\n");
  EXPECT_EQ(server->client("lpstat -p p1").rfind("printer p1 is idle.", 0), 0u);
  EXPECT_EQ(server->client("lpstat -a p1").rfind("p1 accepting requests", 0), 0u);
  std::string details = server->client("lpstat -l -p p1");
  EXPECT_NE(details.find("Users allowed:\n\t\tnobody\n"), std::string::npos) << details;
  EXPECT_EQ(module.printers(), std::set<std::string>{"p1"});

  // The server core tags its queue with the session's options.
  {
    cups::Dests dests;
    cups::setZavOptions(dests, dests.find("p1"), "4711", os::RootCode::uid);
  }
  std::string options = server->client("lpoptions -p p1");
  EXPECT_NE(options.find("zav-id=4711"), std::string::npos) << options;
  EXPECT_NE(options.find("zav-user=nobody"), std::string::npos) << options;

  // Its own queue may be changed and removed, whatever the case of its name.
  EXPECT_EQ(serve(module, addRequest("P1", server->ppd(), "8", 0, 0)), reply(true, 0));
  EXPECT_EQ(server->client("lpstat -v p1"), "device for p1: zav:/PS/8\n");
  EXPECT_EQ(serve(module, removeRequest("P1")), reply(true, 0));
  EXPECT_EQ(server->queues(), "");
  EXPECT_TRUE(module.printers().empty());
}

TEST_F(PrintingModule, QueueItDidNotAddIsNotTouched) {
  server->client("lpadmin -p other -v zav:/PS/1 -P " + server->ppd() + " -E");
  ASSERT_EQ(server->queues(), "other\n");
  RootCodePrinting module;
  // Names are compared as the printing system compares them, without case.
  for (const char* name : {"other", "OTHER", "Other"}) {
    EXPECT_EQ(serve(module, addRequest(name, server->ppd(), "66", 0, 2)), reply(false, 0x0401))
        << name;
    EXPECT_EQ(serve(module, removeRequest(name)), reply(false, 0x0401)) << name;
  }
  EXPECT_EQ(server->client("lpstat -v other"), "device for other: zav:/PS/1\n");
  EXPECT_TRUE(module.printers().empty());
}

TEST_F(PrintingModule, QueueLeftBehindForTheUserMayBeRemoved) {
  // What a co-process that was killed leaves behind: a queue on the
  // product's backend for the launching user (nobody here) alone. It may be
  // removed; a queue that differs in any of that may not.
  struct {
    const char* queue;
    std::string settings;
    bool removable;
  } cases[] = {
      {"left", "-v zav:/PS/1 -u allow:nobody", true},
      {"foreign", "-v zav:/PS/1 -u allow:root", false},
      {"shared", "-v zav:/PDF/2 -u allow:nobody,root", false},
      {"open", "-v zav:/ZRLE/3", false},
      {"elsewhere", "-v other:/PS/4 -u allow:nobody", false},
  };
  for (const auto& c : cases)
    server->client("lpadmin -p " + std::string(c.queue) + " " + c.settings + " -P " +
                   server->ppd() + " -E");
  ASSERT_EQ(server->queues(), "elsewhere\nforeign\nleft\nopen\nshared\n") << server->errorLog();
  RootCodePrinting module;
  for (const auto& c : cases) {
    // Changing it stays refused all the same.
    EXPECT_EQ(serve(module, addRequest(c.queue, server->ppd(), "9", 0, 0)), reply(false, 0x0401))
        << c.queue;
    EXPECT_EQ(serve(module, removeRequest(c.queue)),
              c.removable ? reply(true, 0) : reply(false, 0x0401))
        << c.queue;
  }
  EXPECT_EQ(server->queues(), "elsewhere\nforeign\nopen\nshared\n");
  EXPECT_EQ(server->client("lpstat -v foreign"), "device for foreign: zav:/PS/1\n");
  EXPECT_TRUE(module.printers().empty());
  // A queue that does not exist is refused as well.
  EXPECT_EQ(serve(module, removeRequest("left")), reply(false, 0x0401));
}

TEST_F(PrintingModule, PpdIsReadWithTheUsersRights) {
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  std::string secret = dir / "root-only.ppd";
  ASSERT_EQ(CupsServer::sh("cp " + server->ppd() + " " + secret + " && chmod 0600 " + secret), 0);
  RootCodePrinting module;
  EXPECT_EQ(serve(module, addRequest("p1", secret, "7", 0, 0)), reply(false, 0x0401));
  EXPECT_EQ(serve(module, addRequest("p1", dir / "none.ppd", "7", 0, 0)), reply(false, 0x0406));
  // Not a regular file: refused without reading.
  std::string fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  EXPECT_EQ(serve(module, addRequest("p1", fifo, "7", 0, 0)), reply(false, 0x0401));
  EXPECT_EQ(server->queues(), "");
  // Readable by the user: accepted.
  chmod(secret.c_str(), 0644);
  EXPECT_EQ(serve(module, addRequest("p1", secret, "7", 0, 0)), reply(true, 0));
}

TEST_F(PrintingModule, EveryQueueItAddedGoesWithIt) {
  server->client("lpadmin -p other -v zav:/PS/1 -P " + server->ppd() + " -E");
  {
    RootCodePrinting module;
    EXPECT_EQ(serve(module, addRequest("p1", server->ppd(), "7", 0, 1)), reply(true, 0));
    EXPECT_EQ(serve(module, addRequest("p2", server->ppd(), "8", 0, 0)), reply(true, 0));
    EXPECT_EQ(server->queues(), "other\np1\np2\n");
  }
  EXPECT_EQ(server->queues(), "other\n");
}

TEST_F(PrintingModule, CleanUpRemovesQueuesOfSessionsThatHaveGone) {
  // Where it can, this moves the process to a private user database.
  TestUsers users;
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  std::string home = dir / "home";
  std::string user = TestUsers::unique("zavprt");
  ASSERT_EQ(TestUsers::run("useradd -M -U -d " + home + " " + user + " 2>/dev/null"), 0);
  struct Remove {
    std::string user;
    ~Remove() { TestUsers::run("userdel -f " + user + " 2>/dev/null"); }
  } remove{user};
  ASSERT_EQ(TestUsers::run("mkdir -p " + home + "/.zav"), 0);
  os::Passwd pw(user.c_str());
  ASSERT_TRUE(pw.isValid());

  const std::string longId(120, 'x');
  struct {
    const char* queue;
    std::string id;
  } sessions[] = {{"gone", "s1"}, {"alive", "s2"}, {"slashed", "../../x"}, {"long", longId}};
  RootCodePrinting module;
  for (const auto& s : sessions)
    ASSERT_EQ(serve(module, addRequest(s.queue, server->ppd(), "7", 0, 0)), reply(true, 0));
  {
    cups::Dests dests;
    for (const auto& s : sessions)
      cups::setZavOptions(dests, dests.find(s.queue), s.id.c_str(), pw.getUid());
  }
  std::string goneSocket = home + "/.zav/.print.s1";
  std::string aliveSocket = home + "/.zav/.print.s2";
  { SessionSocket left(goneSocket, true); }
  SessionSocket alive(aliveSocket, false);
  ASSERT_TRUE(exists(goneSocket));

  // The clean-up also looks at the session sockets of the process's own
  // user, root: it runs in a child with a private, empty home for root,
  // holding one socket nobody listens on and one that a session holds.
  if (!testing_support::privateMountsUnsupported().empty())
    GTEST_SKIP() << testing_support::privateMountsUnsupported();
  os::Passwd root(uid_t(0));
  std::string rootZav = std::string(root.getHomeDir()) + "/.zav";
  pid_t pid = fork();
  if (pid == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        mount("tmpfs", root.getHomeDir(), "tmpfs", 0, "mode=0700") != 0 ||
        mkdir(rootZav.c_str(), 0700) != 0)
      _exit(100);
    { SessionSocket dead(rootZav + "/.print.dead", true); }
    SessionSocket live(rootZav + "/.print.live", false);
    std::ofstream(rootZav + "/print.other") << "x";
    std::ofstream(rootZav + "/.print.plain") << "x";
    module.cleanUpPrinters();
    // Which of them are left, as bits of the exit status.
    _exit((exists(rootZav + "/.print.dead") ? 1 : 0) | (exists(rootZav + "/.print.live") ? 2 : 0) |
          (exists(rootZav + "/print.other") ? 4 : 0) | (exists(rootZav + "/.print.plain") ? 8 : 0));
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  // The dead socket and the plain file (nothing listens there) go; the live
  // socket and what does not match the pattern stay.
  EXPECT_EQ(WEXITSTATUS(status), 2 | 4);

  EXPECT_EQ(server->queues(), "alive\nlong\nslashed\n");
  EXPECT_FALSE(exists(goneSocket));
  EXPECT_TRUE(exists(aliveSocket));
}

namespace {

// End to end: the launcher as a test user, the stand-in core asking the
// co-process for queues.
class PrintingThroughLauncher : public ::testing::Test {
protected:
  void SetUp() override {
    std::string reason = CupsServer::unsupportedReason();
    if (reason.empty())
      reason = LauncherRig::unsupportedReason();
    if (!reason.empty())
      GTEST_SKIP() << reason;
    server.reset(new CupsServer);
    rig.reset(new LauncherRig);
    user = users.addUser("zavprn", "");
    // The co-process clears its environment: it finds the server through
    // the client configuration.
    ASSERT_EQ(CupsServer::sh("mkdir -p " + server->dir() + "/etccups && cp " +
                             server->clientConf() + " " + server->dir() + "/etccups/"),
              0);
    options.extraShell = "mount --bind " + server->dir() + "/etccups /etc/cups\n";
  }

  // The test server's PPD with its pass-through filter line replaced by line.
  std::string ppdWithLine(const std::string& line) {
    std::string text = LauncherRig::read(server->ppd());
    const std::string plain = "*cupsFilter: \"application/postscript 0 -\"\n";
    size_t at = text.find(plain);
    EXPECT_NE(at, std::string::npos) << "the test PPD has no pass-through filter line";
    if (at != std::string::npos)
      text.replace(at, plain.size(), line + "\n");
    return text;
  }

  TestUsers users;
  std::unique_ptr<CupsServer> server;
  std::unique_ptr<LauncherRig> rig;
  std::string user;
  LauncherRig::Options options;
};

} // namespace

TEST_F(PrintingThroughLauncher, QueuesGoWhenTheCoreCloses) {
  server->client("lpadmin -p other -v zav:/PS/1 -P " + server->ppd() + " -E");
  LauncherRig::Result r = rig->run(
      user,
      {"printadd", "p1", "7", "1", server->ppd(), "sh",
       "lpstat -v p1; lpstat -p p1; lpstat -a p1; lpstat -l -p p1 | grep -A1 'Users allowed'",
       "printremove", "other", "printadd", "OTHER", "9", "0", server->ppd(), "raw",
       "085072696e74696e6707", "finish", "reply"},
      options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("print 1 0000\ndevice for p1: zav:/PDF/7\nprinter p1 is idle."),
            std::string::npos)
      << r.out << r.err << server->errorLog();
  EXPECT_NE(r.out.find("p1 accepting requests"), std::string::npos) << r.out << r.err;
  EXPECT_NE(r.out.find("Users allowed:\n\t\t" + user + "\n"), std::string::npos) << r.out;
  // The queue it did not add stays as it was.
  EXPECT_NE(r.out.find("sh 0\nprint 0 0401\nprint 0 0401\n"), std::string::npos) << r.out;
  // A request of an unknown kind: no success, no error.
  EXPECT_NE(r.out.find("coprocess exit 0\nreply 000000\n"), std::string::npos) << r.out;
  EXPECT_EQ(server->queues(), "other\n");
  EXPECT_EQ(server->client("lpstat -v other"), "device for other: zav:/PS/1\n");
}

TEST_F(PrintingThroughLauncher, QueueGoesWithTheCoreAfterTheTerminalsSignals) {
  // ^C, ^\ and a hang-up at the user's terminal go to the launcher's process
  // group. The co-process stays and, once the core has ended on its own,
  // removes the queue it added.
  options.wrapper = "setsid -w";
  options.extraShell += LauncherRig::terminalSignalSender();
  std::vector<std::string> args = {"printadd", "p1", "7", "0", server->ppd(), "ignoreterminal"};
  for (const std::string& a : LauncherRig::terminalSignalStep())
    args.push_back(a);
  args.insert(args.end(), {"sh", "lpstat -e"});
  // No "finish": the core ends without closing its pipes first.
  LauncherRig::Result r = rig->run(user, args, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("print 1 0000\nsh 0\np1\nsh 0\n"), std::string::npos) << r.out << r.err;
  std::string left;
  for (int i = 0; i < 400 && !(left = server->queues()).empty(); i++)
    usleep(50000);
  EXPECT_EQ(left, "") << server->errorLog();
}

TEST_F(PrintingThroughLauncher, JobReachesTheBackend) {
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  std::string ps = dir / "job.ps";
  std::ofstream(ps) << "%!PS\nshowpage\n";
  chmod(ps.c_str(), 0644);
  LauncherRig::Result r =
      rig->run(user,
               {"printadd", "p1", "7", "0", server->ppd(), "sh", "lp -d p1 " + ps, "sh",
                "for i in $(seq 200); do [ -e " + server->dir() +
                    "/jobs/job1.args ] && break; sleep 0.1; done",
                "finish"},
               options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("print 1 0000\n"), std::string::npos) << r.out << r.err;
  std::string data;
  EXPECT_EQ(server->waitForJob(1, &data), "zav:/PS/7|" + user + "|job.ps|1") << server->errorLog();
  EXPECT_EQ(data, "%!PS\nshowpage\n");
  EXPECT_EQ(server->queues(), "");
}

TEST_F(PrintingThroughLauncher, MissingPrintingLibrary) {
  options.extraShell +=
      "for f in /usr/lib/x86_64-linux-gnu/libcups.so*; do mount --bind /dev/null $f; done\n";
  LauncherRig::Result r = rig->run(user,
                                   {"printadd", "p1", "7", "1", server->ppd(), "printremove", "p1",
                                    "raw", "085072696e74696e6707", "finish", "reply"},
                                   options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("print 0 0500\nprint 0 0500\ncoprocess exit 0\nreply 000500\n"),
            std::string::npos)
      << r.out << r.err;
  EXPECT_EQ(server->queues(), "");
}

TEST_F(PrintingThroughLauncher, CleanUpRemovesTheUsersQueuesOfSessionsThatHaveGone) {
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  std::string home = dir / "home";
  ASSERT_EQ(TestUsers::run("usermod -d " + home + " " + user), 0);
  ASSERT_EQ(TestUsers::run("mkdir -p " + home + "/.zav && chown -R " + user + ": " + home), 0);
  // Queues as co-processes that were killed leave them, of the sessions s1
  // and s2 of the user, and one that the user's options tag in the same way
  // but which is not the product's queue.
  struct {
    const char* queue;
    const char* device;
    const char* id;
  } queues[] = {{"gone", "zav:/PS/1", "s1"},
                {"alive", "zav:/PS/2", "s2"},
                {"elsewhere", "other:/PS/3", "s3"}};
  std::string tagging = "true";
  for (const auto& q : queues) {
    server->client("lpadmin -p " + std::string(q.queue) + " -v " + q.device + " -P " +
                   server->ppd() + " -u allow:" + user + " -E");
    tagging += " && lpoptions -p " + std::string(q.queue) + " -o zav-id=" + q.id +
               " -o zav-user=" + user + " >/dev/null";
  }
  ASSERT_EQ(server->queues(), "alive\nelsewhere\ngone\n") << server->errorLog();
  std::string goneSocket = home + "/.zav/.print.s1";
  std::string aliveSocket = home + "/.zav/.print.s2";
  { SessionSocket left(goneSocket, true); }
  SessionSocket alive(aliveSocket, false);
  chmod(aliveSocket.c_str(), 0777);
  ASSERT_EQ(TestUsers::run("chown " + user + ": " + goneSocket), 0);

  // The core keeps its destination options in its user's home.
  options.extraShell += "export HOME=" + home + "\n";
  LauncherRig::Result r =
      rig->run(user, {"sh", tagging, "printcleanup", "sh", "lpstat -e | sort", "finish"}, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("sh 0\ncleanup done\nalive\nelsewhere\nsh 0\ncoprocess exit 0\n"),
            std::string::npos)
      << r.out << r.err << server->errorLog();
  EXPECT_EQ(server->queues(), "alive\nelsewhere\n");
  EXPECT_FALSE(exists(goneSocket));
  EXPECT_TRUE(exists(aliveSocket));
}

TEST_F(PrintingThroughLauncher, CoreThatGoesMidRequestLeavesNoQueue) {
  // The core adds a queue, then goes while the co-process works for it: it
  // stopped reading replies before a whole request for a second queue, or
  // cut a request short. Either way the co-process ends in its own way (no
  // SIGPIPE) and removes what it added.
  std::string second = "\x08Printing" + addRequest("p2", server->ppd(), "8", 0, 0);
  struct {
    const char* what;
    std::vector<std::string> steps;
    const char* end;
  } cases[] = {
      {"reply pipe closed", {"closereply", "raw", toHex(second)}, "coprocess exit 0\n"},
      {"request cut short",
       {"raw", toHex(second.substr(0, second.size() - 3))},
       "coprocess exit 1\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"printadd", "p1", "7", "1", server->ppd()};
    args.insert(args.end(), c.steps.begin(), c.steps.end());
    args.push_back("finish");
    LauncherRig::Result r = rig->run(user, args, options);
    EXPECT_EQ(r.status, 0) << c.what << r.err;
    EXPECT_NE(r.out.find("print 1 0000\n"), std::string::npos) << c.what << r.out << r.err;
    EXPECT_NE(r.out.find(c.end), std::string::npos) << c.what << r.out << r.err;
    EXPECT_EQ(server->queues(), "") << c.what;
  }
}

TEST_F(PrintingThroughLauncher, PpdThatNamesProgramsIsRefused) {
  // The attack: a PPD of the user's names a program, which the print server
  // would run as its own user with arguments the user controls. The program
  // here is a script that leaves a mark; it is root's and private, as the
  // print server wants its filters.
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  std::string mark = dir / "ran";
  std::string program = dir / "attack";
  std::ofstream(program) << "#!/bin/sh\ntouch " << mark << "\ncat\n";
  chmod(program.c_str(), 0755);
  std::string base = LauncherRig::read(server->ppd());
  auto withLine = [&](const std::string& line) { return ppdWithLine(line); };
  struct {
    const char* name;
    std::string content;
  } cases[] = {
      {"filter", withLine("*cupsFilter: \"application/postscript 0 " + program + "\"")},
      {"filter2",
       withLine("*cupsFilter2: \"application/postscript printer/zav 0 " + program + "\"")},
      {"prefilter", base + "*cupsPreFilter: \"application/postscript 0 " + program + "\"\n"},
      {"crlf", withLine("*cupsFilter: \"application/postscript 0 " + program + "\"\r")},
      // The print server's reader drops Ctrl-Z inside a keyword.
      {"ctrlz", withLine("*cups\x1a"
                         "Filter: \"application/postscript 0 " +
                         program + "\"")},
  };
  std::vector<std::string> args;
  for (const auto& c : cases) {
    std::string path = dir / (std::string(c.name) + ".ppd");
    std::ofstream(path) << c.content;
    chmod(path.c_str(), 0644);
    args.insert(args.end(), {"printadd", c.name, "7", "0", path});
  }
  // The same, compressed: the print server would read it all the same.
  std::string gz = dir / "gz.ppd";
  ASSERT_EQ(CupsServer::sh("gzip -c " + dir / "filter.ppd" + " > " + gz + " && chmod 644 " + gz),
            0);
  args.insert(args.end(), {"printadd", "gz", "7", "0", gz});
  // A plain PPD still works, and a job through it never meets the program.
  std::string ps = dir / "job.ps";
  std::ofstream(ps) << "%!PS\nshowpage\n";
  chmod(ps.c_str(), 0644);
  args.insert(args.end(),
              {"printadd", "good", "8", "0", server->ppd(), "sh", "lp -d good " + ps, "sh",
               "for i in $(seq 200); do [ -e " + server->dir() +
                   "/jobs/job1.args ] && break; sleep 0.1; done",
               "sh", "lpstat -e | sort", "finish"});
  LauncherRig::Result r = rig->run(user, args, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("print 0 0401\nprint 0 0401\nprint 0 0401\nprint 0 0401\nprint 0 0401\n"
                       "print 0 0401\nprint 1 0000\n"),
            std::string::npos)
      << r.out << r.err << server->errorLog();
  EXPECT_NE(r.out.find("\ngood\nsh 0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("PPD file " + dir / "filter.ppd" +
                       " refused: names a filter program (*cupsFilter)"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("refused: not a PPD file"), std::string::npos) << r.err;
  EXPECT_EQ(server->waitForJob(1), "zav:/PS/8|" + user + "|job.ps|1") << server->errorLog();
  EXPECT_FALSE(exists(mark)) << "the user's program ran as the print server";
  EXPECT_EQ(server->queues(), "");
}

TEST_F(PrintingThroughLauncher, EverySpellingTheServerWouldRunIsRefused) {
  // Ways of writing a filter program into a PPD, each as the print server's
  // reader takes it. The co-process must refuse every one. Root's own queue
  // with the same PPD then shows that the print server would indeed run the
  // program, so that each row tests something real. The program is root's
  // and leaves a mark named after the queue it ran for.
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  std::string marks = dir / "marks";
  ASSERT_EQ(mkdir(marks.c_str(), 0755), 0);
  chmod(marks.c_str(), 01777);
  std::string program = dir / "attack";
  std::ofstream(program) << "#!/bin/sh\ntouch \"" << marks
                         << "/$PRINTER\"\nif [ -n \"$6\" ]; then exec cat \"$6\"; fi\nexec cat\n";
  chmod(program.c_str(), 0755);
  auto withLine = [&](const std::string& line) { return ppdWithLine(line); };
  auto lineEnds = [](std::string text, const std::string& end) {
    for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += end.size())
      text.replace(at, 1, end);
    return text;
  };
  // The quoted words the text alone sees pass the data on ("-"); the print
  // server keeps a value that does not end in a quote as written, takes the
  // program from after the cost, and a type beginning with "*" as any type.
  const std::string trick = "*\"a 0 -\"/postscript 0 " + program;
  const std::string trick2 = "*\"a b 0 -\"/postscript printer/zav 0 " + program;
  struct {
    const char* name;
    std::string content;
    const char* refusal;
  } cases[] = {
      {"named", withLine("*cupsFilter: \"application/postscript 0 " + program + "\""),
       "names a filter program (*cupsFilter)"},
      {"quoted", withLine("*cupsFilter: " + trick), "names a filter program (*cupsFilter)"},
      {"filter2", withLine("*cupsFilter2: " + trick2), "names a filter program (*cupsFilter2)"},
      {"uppercase", withLine("*CUPSFILTER2: " + trick2), "names a filter program (*CUPSFILTER2)"},
      {"tabs", withLine("*cupsFilter:\t*\"a\t0\t-\"/postscript\t0\t" + program),
       "names a filter program (*cupsFilter)"},
      {"formfeed", withLine("*cupsFilter:\f" + trick), "names a filter program (*cupsFilter)"},
      {"cr", lineEnds(withLine("*cupsFilter: " + trick), "\r"),
       "names a filter program (*cupsFilter)"},
      {"crlf", lineEnds(withLine("*cupsFilter: " + trick), "\r\n"),
       "names a filter program (*cupsFilter)"},
      {"ctrlz",
       withLine("*cups\x1a"
                "Filter: *\"a 0 -\"/post\x1ascript 0 " +
                program),
       "names a filter program (*cupsFilter)"},
      {"translation", withLine("*cupsFilter x/\"a 0 -\": " + trick),
       "names a filter program (*cupsFilter)"},
      {"wildcard", withLine("*cupsFilter: *\"a 0 -\"/* 0 " + program),
       "names a filter program (*cupsFilter)"},
      // A pre-filter runs before a filter of the server's own.
      {"prefilter",
       withLine("*cupsFilter: \"" + std::string(CupsServer::stageType()) +
                " 0 -\"\n*cupsPreFilter: \"application/postscript 0 " + program + "\""),
       "names a program or file for the print server (*cupsPreFilter)"},
  };
  std::vector<std::string> args;
  for (const auto& c : cases) {
    std::string path = dir / (std::string(c.name) + ".ppd");
    std::ofstream(path, std::ios::binary) << c.content;
    chmod(path.c_str(), 0644);
    args.insert(args.end(), {"printadd", c.name, "7", "0", path});
  }
  args.insert(args.end(), {"sh", "lpstat -e | sort", "finish"});
  LauncherRig::Result r = rig->run(user, args, options);
  EXPECT_EQ(r.status, 0) << r.err;
  std::string refusedAll;
  for (size_t i = 0; i < std::size(cases); i++)
    refusedAll += "print 0 0401\n";
  EXPECT_NE(r.out.find(refusedAll + "sh 0\ncoprocess exit 0\n"), std::string::npos)
      << r.out << r.err << server->errorLog();
  for (const auto& c : cases)
    EXPECT_NE(r.err.find("PPD file " + dir / (std::string(c.name) + ".ppd") +
                         " refused: " + c.refusal + "\n"),
              std::string::npos)
        << c.name << "\n"
        << r.err;
  EXPECT_EQ(server->queues(), "");

  // Root's queues with the same files, each given a job.
  std::string ps = dir / "job.ps";
  std::ofstream(ps) << "%!PS\nshowpage\n";
  chmod(ps.c_str(), 0644);
  for (const auto& c : cases) {
    std::string queue = std::string("root-") + c.name;
    server->client("lpadmin -p " + queue + " -v other:/" + c.name + " -P " +
                   dir / (std::string(c.name) + ".ppd") + " -E && lp -d " + queue + " " + ps);
  }
  for (const auto& c : cases) {
    std::string mark = marks + "/root-" + c.name;
    for (int i = 0; i < 400 && !exists(mark); i++)
      usleep(50000);
    EXPECT_TRUE(exists(mark)) << c.name << ": the print server did not run the program, so the "
                              << "row tests nothing\n"
                              << server->errorLog();
  }
  // The program ran only through root's queues.
  EXPECT_EQ(server->client("ls " + marks + " | grep -v '^root-'"), "");
}

TEST_F(PrintingThroughLauncher, PpdSizeIsLimited) {
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  std::string base = LauncherRig::read(server->ppd());
  std::string fits = dir / "fits.ppd", over = dir / "over.ppd";
  std::ofstream(fits) << base << std::string(print::maxPpdSize - base.size(), '\n');
  std::ofstream(over) << base << std::string(print::maxPpdSize - base.size() + 1, '\n');
  chmod(fits.c_str(), 0644);
  chmod(over.c_str(), 0644);
  LauncherRig::Result r = rig->run(
      user, {"printadd", "over", "7", "0", over, "printadd", "fits", "8", "0", fits, "finish"},
      options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("print 0 0409\nprint 1 0000\ncoprocess exit 0\n"), std::string::npos)
      << r.out << r.err;
  EXPECT_NE(r.err.find("PPD file " + over + " refused: larger than 4194304 bytes"),
            std::string::npos)
      << r.err;
}

// The print server's reader is a large parser of a file the user wrote: the
// co-process runs it with the user's ids and within bounds, never as root. A
// PPD that keeps it busy (many options in one group, each looked up among
// all the ones before it) is refused once it has used its processor time; a
// plain one still works.
TEST_F(PrintingThroughLauncher, PpdThatKeepsTheReaderBusyIsRefused) {
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  std::string busy = LauncherRig::read(server->ppd());
  for (unsigned i = 0;; i++) {
    char option[64];
    int n = snprintf(option, sizeof option, "*OpenUI *%x:P\n*CloseUI:*%x\n", i, i);
    if (busy.size() + static_cast<size_t>(n) > print::maxPpdSize)
      break;
    busy.append(option, static_cast<size_t>(n));
  }
  std::string path = dir / "busy.ppd";
  std::ofstream(path) << busy;
  chmod(path.c_str(), 0644);
  LauncherRig::Result r = rig->run(
      user,
      {"printadd", "busy", "7", "0", path, "printadd", "good", "8", "0", server->ppd(), "finish"},
      options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("print 0 0401\nprint 1 0000\ncoprocess exit 0\n"), std::string::npos)
      << r.out << r.err;
  EXPECT_NE(r.err.find("PPD file " + path + " refused: reading it took more than " +
                       std::to_string(print::ppdReaderCpuSeconds) + " seconds of processor time"),
            std::string::npos)
      << r.err;
}

TEST_F(PrintingModule, QueueCountIsLimited) {
  RootCodePrinting module;
  for (int i = 0; i < RootCodePrinting::maxQueues; i++)
    ASSERT_EQ(serve(module, addRequest("q" + std::to_string(i), server->ppd(), "7", 0, 0)),
              reply(true, 0))
        << i;
  EXPECT_EQ(serve(module, addRequest("one-more", server->ppd(), "7", 0, 0)), reply(false, 0x0401));
  // Its own queues may still be changed; a removed one makes room.
  EXPECT_EQ(serve(module, addRequest("Q0", server->ppd(), "9", 0, 1)), reply(true, 0));
  EXPECT_EQ(serve(module, removeRequest("q1")), reply(true, 0));
  EXPECT_EQ(serve(module, addRequest("one-more", server->ppd(), "7", 0, 0)), reply(true, 0));
  EXPECT_EQ(module.printers().size(), size_t(RootCodePrinting::maxQueues));
}

TEST_F(PrintingThroughLauncher, QueueOfACoprocessThatDiedIsRemovedAtTheNextStart) {
  // The user cannot kill the co-process, but root (or the system) can: then
  // its queue stays behind, and the clean-up of the next launcher of the
  // same user removes it.
  TempDir dir;
  chmod(dir.path().c_str(), 0755);
  std::string home = dir / "home";
  ASSERT_EQ(TestUsers::run("usermod -d " + home + " " + user), 0);
  ASSERT_EQ(TestUsers::run("mkdir -p " + home + "/.zav && chown -R " + user + ": " + home), 0);
  options.extraShell += "export HOME=" + home + "\n";
  LauncherRig::Options killing = options;
  // root kills the co-process whose id the core sends through a FIFO.
  killing.extraShell += "mkfifo -m 0666 /run/zavkill /run/zavkilled\n"
                        "( read pid < /run/zavkill; kill -KILL $pid; echo > /run/zavkilled ) &\n";
  LauncherRig::Result r = rig->run(
      user,
      {"printadd", "left", "7", "0", server->ppd(), "sh",
       "lpoptions -p left -o zav-id=s1 -o zav-user=" + user + " >/dev/null", "killco", "9", "sh",
       "echo $(pgrep -P $PPID -x x0zavserver) > /run/zavkill; cat /run/zavkilled", "finish"},
      killing);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("print 1 0000\nsh 0\nkillco Operation not permitted\n"), std::string::npos)
      << r.out << r.err;
  EXPECT_NE(r.out.find("coprocess signal 9\n"), std::string::npos) << r.out << r.err;
  ASSERT_EQ(server->queues(), "left\n");

  r = rig->run(user, {"printcleanup", "finish"}, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("cleanup done\ncoprocess exit 0\n"), std::string::npos) << r.out << r.err;
  EXPECT_EQ(server->queues(), "");
}

TEST_F(PrintingThroughLauncher, UsersProcessorTimeLimitDoesNotEndTheCoprocess) {
  // A soft processor time limit that the user set would end the co-process
  // (SIGXCPU) once it had worked that long, with the queues it added left in
  // place. The core lifts its own limit and keeps the co-process busy past it.
  LauncherRig::Options limited = options;
  limited.launcherPrefix = "ulimit -S -t 1";
  LauncherRig::Result r = rig->run(
      user, {"printadd", "p1", "7", "0", server->ppd(), "cpuload", "2", "finish"}, limited);
  EXPECT_NE(r.out.find("print 1 0000\ncpuload reached\ncoprocess exit 0\n"), std::string::npos)
      << r.out << r.err;
  EXPECT_EQ(server->queues(), "") << server->errorLog();
}

namespace {

// Description lines that, kept as they are, would close the queue's section
// of the print server's configuration and open one for a queue of their own.
const std::string injectedLines =
    "Viewer\n</Printer>\n<Printer evil>\nDeviceURI other:/x\nAllowUser root";

} // namespace

TEST_F(PrintingThroughLauncher, FieldsWithControlCharactersOrEscapingDeviceIdsAreRefused) {
  // The print server keeps the description and the device URI in the
  // configuration it writes and reads back as root, and the name goes to the
  // co-process's log: each row is refused before anything reaches the print
  // server, and the log shows the name without its control characters.
  struct {
    std::string name, description, device;
    const char* shown; // the name as the refusal shows it
    const char* reason;
  } refused[] = {
      {"d1", injectedLines, "7", "d1", "its description holds a control character"},
      {"d2", "Viewer\rAccounting", "7", "d2", "its description holds a control character"},
      {"d3", "a\tb", "7", "d3", "its description holds a control character"},
      {"d4",
       "a\x01"
       "b",
       "7", "d4", "its description holds a control character"},
      {"d5", "a\x7f", "7", "d5", "its description holds a control character"},
      {"d6",
       "a\xc2\x85"
       "b",
       "7", "d6", "its description holds a control character"},
      {"v1", "ok", "7\nAccounting", "v1",
       "its device id is not one plain segment of the device URI"},
      {"v2", "ok", "7\r", "v2", "its device id is not one plain segment of the device URI"},
      {"v3", "ok", "../../x", "v3", "its device id is not one plain segment of the device URI"},
      {"v4", "ok", "..", "v4", "its device id is not one plain segment of the device URI"},
      {"v5", "ok", "a/b", "v5", "its device id is not one plain segment of the device URI"},
      {"v6", "ok", "7?x", "v6", "its device id is not one plain segment of the device URI"},
      {"v7", "ok", "7#x", "v7", "its device id is not one plain segment of the device URI"},
      {"v8", "ok", "%2F", "v8", "its device id is not one plain segment of the device URI"},
      {"v9", "ok", "a b", "v9", "its device id is not one plain segment of the device URI"},
      {"va", "ok", "a\\b", "va", "its device id is not one plain segment of the device URI"},
      {"vb", "ok", "\xc3\xa9", "vb", "its device id is not one plain segment of the device URI"},
      {"n\nFAKE line", "ok", "7", "n\\x0aFAKE line", "its name holds a control character"},
      {"n\x7f", "ok", "7", "n\\x7f", "its name holds a control character"},
  };
  // What still goes through: marks the configuration escapes, UTF-8, the
  // longest fields, and every mark a plain segment holds.
  struct {
    std::string name, description, device;
  } accepted[] = {
      {"ok1", "B\xc3\xbcro #2 \"x\" 'y' \\", "a-b_c.d~!$&'()*+,;=:@"},
      {"ok2", std::string(RootCodePrinting::maxDescription, 'x'),
       std::string(RootCodePrinting::maxDeviceId, '9')},
  };
  std::vector<std::string> args;
  std::string replies;
  for (const auto& c : refused) {
    args.insert(args.end(), {"printaddhex", toHex(c.name), toHex(c.description), toHex(c.device),
                             "0", server->ppd()});
    replies += "print 0 0400\n";
  }
  args.insert(args.end(), {"printremovehex", toHex("n\nFAKE line")});
  replies += "print 0 0400\n";
  for (const auto& c : accepted) {
    args.insert(args.end(), {"printaddhex", toHex(c.name), toHex(c.description), toHex(c.device),
                             "1", server->ppd()});
    replies += "print 1 0000\n";
  }
  args.insert(args.end(),
              {"sh", "lpstat -v | sort; lpstat -l -p ok1 | grep Description", "finish"});
  LauncherRig::Result r = rig->run(user, args, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(replies + "device for ok1: zav:/PDF/a-b_c.d~!$&'()*+,;=:@\n" +
                       "device for ok2: zav:/PDF/" +
                       std::string(RootCodePrinting::maxDeviceId, '9') +
                       "\n\tDescription: B\xc3\xbcro #2 \"x\" 'y' \\\nsh 0\ncoprocess exit 0\n"),
            std::string::npos)
      << r.out << r.err << server->errorLog();
  for (const auto& c : refused)
    EXPECT_NE(r.err.find(std::string("Printer ") + c.shown + " refused: " + c.reason + "\n"),
              std::string::npos)
        << c.shown << "\n"
        << r.err;
  EXPECT_NE(r.err.find("Removing printer n\\x0aFAKE line refused: its name holds a control "
                       "character\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("\nFAKE line"), std::string::npos) << r.err;
  EXPECT_EQ(server->queues(), "");
}

TEST_F(PrintingModule, ConfigurationReadBackHoldsOnlyTheQueuesAdded) {
  // The print server writes its configuration when it stops and reads it
  // back as root when it starts: what it then holds is what the co-process
  // added, and no line of a description.
  RootCodePrinting module;
  auto add = [&](const std::string& name, const std::string& description) {
    std::string request = std::string(1, '\0') + str(name) + str(description) + str(server->ppd()) +
                          str("7") + u32(0) + std::string(1, '\0');
    return serve(module, request);
  };
  EXPECT_EQ(add("p1", injectedLines), reply(false, 0x0400));
  EXPECT_EQ(add("p2", "Viewer\rAccounting"), reply(false, 0x0400));
  EXPECT_EQ(add("p3", "Viewer #3 \\"), reply(true, 0));
  server->restart();
  EXPECT_EQ(server->queues(), "p3\n") << server->errorLog();
  EXPECT_EQ(server->client("lpstat -v p3"), "device for p3: zav:/PS/7\n");
  std::string conf = server->printersConf();
  EXPECT_EQ(conf.find("evil"), std::string::npos) << conf;
  EXPECT_EQ(conf.find("Accounting"), std::string::npos) << conf;
  EXPECT_NE(conf.find("\nInfo Viewer \\#3 \\\n"), std::string::npos) << conf;
  EXPECT_NE(server->client("lpstat -l -p p3").find("\tDescription: Viewer #3 \\\n"),
            std::string::npos);
}
