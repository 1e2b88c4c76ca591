// The launcher installed set-user-id root in a temp dir and run as a test
// user inside a private mount namespace, where the fixed paths it uses are
// provided: /etc (an overlay holding the stand-in core and test PAM
// services), /run (the blacklist directory, visible to the test in the temp
// dir) and /dev/log (a datagram socket of the test that collects the syslog
// lines). Everything is removed when the rig goes.
#pragma once

#include "PrivateMounts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testing_support {

// How a run of the launcher differs from the plain one.
struct RunOptions {
  bool hidePam = false;   // the PAM library cannot be loaded
  std::string extraShell; // shell text run in the namespace before the launchers
  std::string redirects;  // extra redirections of the launcher, such as "5<file"
  bool direct = false;    // run the core itself as root, without the launcher
  // Shell text run just before the launcher in the launcher's own subshell;
  // output then goes through a pipe (a file size limit set here must not
  // stop the output) and the exit status is not collected.
  std::string launcherPrefix;
  std::string setprivOptions; // more options of the setpriv that starts the launcher
  // A command the launcher runs under, such as "setsid -w" for a process
  // group and session of its own, as a terminal's job has.
  std::string wrapper;
};

class LauncherRig {
public:
  using Options = RunOptions;
  struct Result {
    int status = -1;
    std::string out, err;
  };

  LauncherRig() {
    char tmpl[] = "/tmp/zavrig.XXXXXX";
    EXPECT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    chmod(dir.c_str(), 0755);
    for (const char* d : {"/bin", "/etcup", "/etcup/zav", "/etcup/pam.d", "/etcwork", "/devup",
                          "/devwork", "/run", "/probe"})
      mkdir((dir + d).c_str(), 0755);
    chmod((dir + "/probe").c_str(), 0700);
    sh("install -o root -g root -m 4755 '" ZAV_LAUNCHER_BINARY "' '" + dir + "/bin/x0zavserver'");
    sh("install -m 0755 '" ZAV_STANDIN_CORE "' '" + dir + "/etcup/zav/x0zavserver-core'");

    log_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    struct sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    std::string path = dir + "/log";
    snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", path.c_str());
    EXPECT_EQ(bind(log_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    chmod(path.c_str(), 0666);
    // Read the log all the time: a full socket queue would block the
    // programs under test in syslog().
    EXPECT_EQ(pipe(stop_), 0);
    reader_ = std::thread([this] { readLog(); });
  }

  ~LauncherRig() {
    if (write(stop_[1], "x", 1) != 1)
      ADD_FAILURE() << "cannot stop the log reader";
    reader_.join();
    close(stop_[0]);
    close(stop_[1]);
    close(log_);
    sh("rm -rf '" + dir + "'");
  }

  void addPamService(const std::string& name, const std::string& text) {
    std::ofstream(dir + "/etcup/pam.d/" + name) << text;
  }

  std::string blacklistDir() const { return dir + "/run/zavserver-auth"; }

  // Runs the launcher as user with the arguments; several argument lists
  // run side by side. Returns one result per list.
  std::vector<Result> runParallel(const std::string& user,
                                  const std::vector<std::vector<std::string>>& argLists,
                                  const Options& opt = Options()) {
    std::ostringstream ns;
    ns << "set -e\n"
       << "mount -t overlay overlay -o lowerdir=/etc,upperdir=" << dir << "/etcup,workdir=" << dir
       << "/etcwork /etc\n"
       << "mount --bind " << dir << "/run /run\n"
       << "mount -t overlay overlay -o lowerdir=/dev,upperdir=" << dir << "/devup,workdir=" << dir
       << "/devwork /dev\n"
       << "touch /dev/log\nmount --bind " << dir
       << "/log /dev/log\n"
       // The temp dir may lie on a file system mounted nosuid.
       << "mount --bind " << dir << "/bin " << dir << "/bin\n"
       << "mount -o remount,bind,suid " << dir << "/bin\n";
    if (opt.hidePam)
      ns << "for f in /usr/lib/x86_64-linux-gnu/libpam.so*; do mount --bind /dev/null $f; done\n";
    ns << "set +e\n" << opt.extraShell << "\n";
    for (size_t i = 0; i < argLists.size(); i++) {
      if (!opt.launcherPrefix.empty())
        ns << "( ( " << opt.launcherPrefix
           << "; ASAN_OPTIONS=detect_leaks=0 exec setpriv --reuid=" << user << " --regid=" << user
           << " --init-groups " << opt.setprivOptions << " -- " << dir << "/bin/x0zavserver";
      else if (opt.direct)
        ns << "( /etc/zav/x0zavserver-core";
      else
        ns << "( ASAN_OPTIONS=detect_leaks=0 " << opt.wrapper << " setpriv --reuid=" << user
           << " --regid=" << user << " --init-groups " << opt.setprivOptions << " -- " << dir
           << "/bin/x0zavserver";
      for (const std::string& a : argLists[i])
        ns << " '" << a << "'";
      if (!opt.launcherPrefix.empty())
        ns << " ) 2>&1 | cat >" << dir << "/out" << i << " ) &\n";
      else
        ns << " " << opt.redirects << " >" << dir << "/out" << i << " 2>" << dir << "/err" << i
           << "; echo $? >" << dir << "/status" << i << " ) &\n";
    }
    ns << "wait\n";
    std::ofstream(dir + "/ns.sh") << ns.str();
    int rc = sh("unshare --mount --propagation private sh " + dir + "/ns.sh");
    EXPECT_EQ(rc, 0);
    std::vector<Result> results(argLists.size());
    for (size_t i = 0; i < argLists.size(); i++) {
      std::string status = read(dir + "/status" + std::to_string(i));
      results[i].status = status.empty() ? -1 : atoi(status.c_str());
      results[i].out = read(dir + "/out" + std::to_string(i));
      results[i].err = read(dir + "/err" + std::to_string(i));
    }
    return results;
  }

  Result run(const std::string& user, const std::vector<std::string>& args,
             const Options& opt = Options()) {
    return runParallel(user, {args}, opt)[0];
  }

  // The syslog lines received since the last call. The runs have ended, so
  // every line they sent is already queued; the reader is given a moment
  // to take the queue.
  std::vector<std::string> syslogLines() {
    for (int i = 0; i < 5000; i++) {
      int pending = 0;
      if (ioctl(log_, FIONREAD, &pending) != 0 || pending == 0)
        break;
      usleep(1000);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    lines.swap(lines_);
    return lines;
  }

  static bool hasLine(const std::vector<std::string>& lines, const std::string& tail) {
    // Priority LOG_AUTHPRIV | LOG_NOTICE, ident "zavserver".
    for (const std::string& l : lines)
      if (l.compare(0, 4, "<85>") == 0 && l.find(" zavserver: " + tail) != std::string::npos)
        return true;
    return false;
  }

  static std::string read(const std::string& path) {
    std::ifstream f(path);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }

  // What a terminal does to its job on ^C, ^\ and a hang-up: SIGINT, SIGQUIT
  // and SIGHUP to the job's process group, from the kernel, so that they
  // reach the group's root processes too (a user's kill would not). The
  // launcher must run with wrapper "setsid -w" for a group of its own. The
  // sender is shell text for extraShell; the step is the core's command
  // that asks for the signals and returns once they are sent.
  static std::string terminalSignalSender() {
    return "mkfifo -m 0666 /run/zavsig /run/zavsigsent\n"
           "( read group < /run/zavsig; for s in INT QUIT HUP; do kill -s $s -- -$group; done; "
           "echo > /run/zavsigsent ) &\n";
  }
  static std::vector<std::string> terminalSignalStep() {
    return {
        "sh",
        "trap '' INT QUIT HUP; ps -o pgid= -p $$ > /run/zavsig; cat /run/zavsigsent >/dev/null"};
  }

  // Why this machine cannot host the rig (root, private mount namespaces and
  // overlay mounts are needed), or empty when it can.
  static const std::string& unsupportedReason() { return privateMountsUnsupported(); }

  static int sh(const std::string& cmd) {
    int st = std::system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }

  std::string dir;

private:
  void readLog() {
    char buf[2048];
    for (;;) {
      struct pollfd fds[2] = {{log_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (poll(fds, 2, -1) < 0 && errno != EINTR)
        return;
      if (fds[1].revents)
        return;
      ssize_t n;
      while ((n = recv(log_, buf, sizeof(buf), 0)) > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(buf, static_cast<size_t>(n));
      }
    }
  }

  int log_ = -1;
  int stop_[2] = {-1, -1};
  std::thread reader_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

} // namespace testing_support
