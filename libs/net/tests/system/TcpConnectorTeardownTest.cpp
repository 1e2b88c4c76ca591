// Connection attempts pending while the descriptor manager goes: the host
// name resolves to two addresses through a hosts file of the test's own,
// seen only inside a private mount namespace of a child process.
#include "../NetLoop.h"
#include "CaptureLogger.h"
#include "PrivateMounts.h"
#include "net/io/IoConnected.h"
#include "net/io/IoConnector.h"
#include "net/io/TcpListener.h"
#include "net/io/TcpTarget.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using testing_support::ScopedCapture;

namespace {

class Outcome : public io::IoConnected {
public:
  ~Outcome() override { delete io; }
  void connected(io::IoConnector*, io::Io* io_) override {
    calls++;
    io = io_;
  }
  void connectFailed(io::IoConnector*) override {
    calls++;
    failed = true;
  }
  void connectCancelled() override { calls++; }

  int calls = 0;
  io::Io* io = nullptr;
  bool failed = false;
};

int attemptsLogged(const ScopedCapture& capture) {
  int n = 0;
  for (auto& line : capture.logger.lines)
    if (line.text.find("trying") != std::string::npos)
      n++;
  return n;
}

// Runs in the child: 0 when the manager's destruction ended the attempt with
// one connectFailed and started no other; otherwise the step that went wrong.
int destroyManagerWhileConnecting(const std::string& hostsFile) {
  if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount(hostsFile.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0)
    return 10;
  ScopedCapture capture("TcpConnect", 100);
  Outcome outcome;
  io::TcpListener listener(0, AF_INET, true);
  {
    std::unique_ptr<testing_support::Loop> loop(new testing_support::Loop);
    io::TcpTarget target("zav-two-addresses", listener.getLocalAddress().port);
    target.connect(&outcome, 0);
    loop->timers.processTimers();
    if (attemptsLogged(capture) != 1 || outcome.calls != 0)
      return 11; // the first attempt should be under way
    loop.reset();
  }
  if (attemptsLogged(capture) != 1)
    return 12; // the destruction started another attempt
  if (outcome.calls != 1 || !outcome.failed)
    return 13;
  return 0;
}

TEST(TcpConnector, DestroyingTheManagerStartsNoFurtherAttempt) {
  const std::string& why = testing_support::privateMountsUnsupported();
  if (!why.empty())
    GTEST_SKIP() << why;
  char dir[] = "/tmp/zav-connector-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string hosts = std::string(dir) + "/hosts";
  std::ofstream(hosts) << "127.0.0.1 zav-two-addresses\n127.0.0.2 zav-two-addresses\n";
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0)
    _exit(destroyManagerWhileConnecting(hosts));
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  unlink(hosts.c_str());
  rmdir(dir);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10: no private hosts file, 11: first attempt not pending, "
                                       "12: another attempt started, 13: not one connectFailed";
}

} // namespace
