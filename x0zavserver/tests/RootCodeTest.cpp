#include "x0zavserver/unix/RootCode.h"

#include "CaptureLogger.h"
#include "x0zavserver/AuthFailureException.h"
#include "x0zavserver/unix/RootCodeEtcPasswd.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string u32(uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string str(const std::string& s) {
  return u32(uint32_t(s.size())) + s;
}

std::string readAll(int fd) {
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0)
    out.append(buf, static_cast<size_t>(n));
  return out;
}

void writeAll(int fd, const std::string& s) {
  ASSERT_EQ(write(fd, s.data(), s.size()), static_cast<ssize_t>(s.size()));
}

// The core's channel is opened once per process, so each case runs the
// core side in a child process. The child's pipe parameters name the two
// pipes to this process, which plays the co-process: it returns what the
// child sent and what the child reported.
struct CoreRun {
  std::string sent;
  std::string report;
};

CoreRun runCore(bool withPipes, const std::string& reply,
                const std::function<std::string()>& core) {
  int request[2], replyPipe[2], result[2];
  EXPECT_EQ(pipe(request), 0);
  EXPECT_EQ(pipe(replyPipe), 0);
  EXPECT_EQ(pipe(result), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(request[0]);
    close(replyPipe[1]);
    close(result[0]);
    // The channel this process decided on before the fork is not the child's.
    os::RootCode::forgetChannel();
    if (withPipes) {
      os::privReadFd.setParamInt(replyPipe[0], 50);
      os::privWriteFd.setParamInt(request[1], 50);
    }
    std::string report = core();
    if (write(result[1], report.data(), report.size()) < 0)
      _exit(2);
    _exit(0);
  }
  close(request[1]);
  close(result[1]);
  // The reply goes into the pipe's buffer while this process still holds the
  // read end, so a core that never reads it cannot turn the write into SIGPIPE.
  writeAll(replyPipe[1], reply);
  close(replyPipe[0]);
  close(replyPipe[1]);
  CoreRun run;
  run.report = readAll(result[0]);
  run.sent = readAll(request[0]);
  close(result[0]);
  close(request[0]);
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return run;
}

std::string verifyReport() {
  try {
    std::unique_ptr<zav::Session> s =
        zav::RootCodeEtcPasswd::instance().verifyViaCoprocess("nosuchuser", "pw");
    return std::string("session ") + s->user.c_str() + " " + s->rights.names().c_str();
  } catch (zav::RootCodeUPV::NotAvailableException& e) {
    return std::string("3 ") + e.str();
  } catch (rfb::AuthFailureException& e) {
    return std::string("1 ") + e.str();
  } catch (plat::Exception& e) {
    return std::string("2 ") + e.str();
  }
}

TEST(RootCodeChannel, CoreReadsEveryReply) {
  const std::string request = "\x11"
                              "EtcPasswdVerifier" +
                              str("nosuchuser") + str("pw");
  struct Case {
    std::string reply;
    std::string report;
  } cases[] = {
      {std::string(1, '\0'), "session nosuchuser No"},
      {"\x01" + str("nope"), "1 nope"},
      {"\x02" + str("other"), "2 other"},
      {"\x03" + str("missing"), "3 missing"},
      {"\x04", "2 Invalid auth result 4 from co-process"},
      {"\xff", "2 Invalid auth result 255 from co-process"},
      {"\x01" + u32(257) + std::string(257, 'x'), "2 String exceeds maximum length"},
      {"\x01" + str(std::string(256, 'y')), "1 " + std::string(255 - 0, 'y')},
      {"", "2 End of stream"},
      {"\x02" + u32(9) + "cut", "2 End of stream"},
  };
  for (const Case& c : cases) {
    CoreRun run = runCore(true, c.reply, verifyReport);
    EXPECT_EQ(run.sent, request);
    EXPECT_EQ(run.report, c.report);
  }
}

TEST(RootCodeChannel, OverlongNameOrPasswordIsRefusedBeforeAnythingIsSent) {
  const std::string failure =
      "1 Either the username was not recognised, or the password was incorrect";
  struct Case {
    std::string user, password;
    bool sent;
  } cases[] = {
      {"alice", std::string(257, 'p'), false},
      {std::string(257, 'u'), "pw", false},
      {std::string(5000, 'u'), std::string(5000, 'p'), false},
      {std::string(256, 'u'), std::string(256, 'p'), true},
  };
  for (const Case& c : cases) {
    for (bool withPipes : {true, false}) {
      CoreRun run = runCore(withPipes, "\x01" + str("nope"), [&c] {
        try {
          zav::RootCodeEtcPasswd::instance().verifyViaCoprocess(c.user.c_str(), c.password.c_str());
          return std::string("session");
        } catch (rfb::AuthFailureException& e) {
          return std::string("1 ") + e.str();
        } catch (plat::Exception& e) {
          return std::string("2 ") + e.str();
        }
      });
      if (c.sent && withPipes) {
        EXPECT_EQ(run.sent, "\x11"
                            "EtcPasswdVerifier" +
                                str(c.user) + str(c.password));
        EXPECT_EQ(run.report, "1 nope");
      } else {
        EXPECT_EQ(run.sent, "") << c.user.size() << " " << c.password.size();
        if (!c.sent) {
          EXPECT_EQ(run.report, failure) << c.user.size() << " " << c.password.size();
        }
      }
    }
  }
}

class LongName : public os::RootCode {
public:
  const char* name() const override { return name_.c_str(); }
  void handle(rdr::InStream&, rdr::OutStream&) override {}
  std::string name_ = std::string(300, 'm');
};

TEST(RootCodeChannel, NameGoesOutCutTo255AndFlushed) {
  CoreRun run = runCore(true, "", [] {
    LongName module;
    os::RootCode::Channel ch = module.channel();
    module.channel();
    return std::string(ch.in && ch.out ? "streams" : "none");
  });
  EXPECT_EQ(run.report, "streams");
  std::string one = std::string(1, char(255)) + std::string(255, 'm');
  EXPECT_EQ(run.sent, one + one);
}

TEST(RootCodeChannel, WithoutPipeParametersThereIsNoCoprocess) {
  CoreRun run = runCore(false, "", [] {
    testing_support::ScopedCapture cap("RootCode", 100);
    LongName module;
    os::RootCode::Channel ch = module.channel();
    std::string report = ch.in || ch.out ? "streams" : "none";
    if (cap.logger.contains("init: read=0, write=0") && cap.logger.contains("No co-process."))
      report += " logged";
    // The module works in-process.
    return report + " " + verifyReport();
  });
  EXPECT_EQ(run.sent, "");
  EXPECT_EQ(run.report,
            "none logged 1 Either the username was not recognised, or the password was incorrect");
}

} // namespace
