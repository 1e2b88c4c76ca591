// The printing module's requests and replies: the core side through a real
// pair of pipes, the co-process side through handle(). The printing work
// itself is tested against a real print server in the system tests.
#include "x0zavserver/unix/RootCodePrinting.h"

#include "CaptureLogger.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "ThrownMessage.h"
#include "plat/Exception.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"
#include "x0zavserver/unix/PpdCheck.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using print::RootCodePrinting;
using testing_support::thrownMessage;

std::string u16(uint16_t v) {
  return std::string{char(v >> 8), char(v)};
}
std::string u32(uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string str(const std::string& s) {
  return u32(uint32_t(s.size())) + s;
}

struct Served {
  std::string reply;
  int left;
};
Served serve(RootCodePrinting& module, const std::string& request) {
  rdr::MemInStream in(request.data(), static_cast<int>(request.size()));
  rdr::MemOutStream out;
  module.handle(in, out);
  return {std::string(reinterpret_cast<const char*>(out.data()), out.length()), in.avail()};
}

std::string readAll(int fd) {
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0)
    out.append(buf, static_cast<size_t>(n));
  return out;
}

// Runs the core side in a child (the channel is opened once per process)
// with pipes to this process, which answers with reply; returns what the
// child sent and what it reported.
std::pair<std::string, std::string> runCore(const std::string& reply,
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
    os::privReadFd.setParamInt(replyPipe[0], 50);
    os::privWriteFd.setParamInt(request[1], 50);
    std::string report = core();
    if (write(result[1], report.data(), report.size()) < 0)
      _exit(2);
    _exit(0);
  }
  close(request[1]);
  close(result[1]);
  EXPECT_EQ(write(replyPipe[1], reply.data(), reply.size()), ssize_t(reply.size()));
  close(replyPipe[0]);
  close(replyPipe[1]);
  std::string report = readAll(result[0]);
  std::string sent = readAll(request[0]);
  close(result[0]);
  close(request[0]);
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return {sent, report};
}

const std::string header = "\x08Printing";

// What the module logs, and replies, for a request when the printing library
// cannot be bound: one line per log line ("level text"), then the reply in hex.
std::string missingLibraryReport() {
  testing_support::ScopedCapture capture("RootCodePrinting", 100);
  RootCodePrinting module;
  Served s = serve(module, std::string(1, '\x01') + str("p1"));
  std::string report;
  for (const auto& line : capture.logger.lines)
    report += std::to_string(line.level) + " " + line.text + "\n";
  char hex[3];
  report += "reply ";
  for (unsigned char c : s.reply) {
    snprintf(hex, sizeof(hex), "%02x", c);
    report += hex;
  }
  return report + "\n";
}

// Makes every fcntl(F_ADD_SEALS) of this process fail with EPERM, as on a
// system whose memory files cannot be sealed; false when the kernel takes
// no such filter. For good: only for a child that ends after the test.
bool denySealing() {
  struct sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fcntl, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, args[1])),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, F_ADD_SEALS, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  struct sock_fprog program = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]),
                               filter};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

} // namespace

TEST(RootCodePrinting, PpdCopyThatCannotBeSealedIsRefused) {
  // The copy of a user's PPD must be sealed before the print server reads
  // it; where sealing fails the request is refused with the reason, and
  // nothing reaches the printing system.
  testing_support::TempDir dir;
  std::string ppd = dir / "plain.ppd";
  std::ofstream(ppd) << "*PPD-Adobe: \"4.3\"\n*ModelName: \"Zav\"\n"
                        "*cupsFilter: \"application/postscript 0 -\"\n";
  std::string request = std::string(1, '\0') + str("p1") + str("Viewer printer") + str(ppd) +
                        str("7") + u32(getuid()) + std::string(1, '\0');
  int result[2];
  ASSERT_EQ(pipe(result), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(result[0]);
    std::string report = "no seccomp";
    if (denySealing()) {
      testing_support::ScopedCapture capture("RootCodePrinting", 100);
      os::RootCode::uid = getuid();
      RootCodePrinting module;
      Served s = serve(module, request);
      report = std::to_string(s.left) + " " + std::to_string(s.reply.size());
      for (unsigned char c : s.reply)
        report += " " + std::to_string(c);
      for (const auto& line : capture.logger.lines)
        report += "\n" + std::to_string(line.level) + " " + line.text;
    }
    ssize_t written = write(result[1], report.data(), report.size());
    _exit(written == ssize_t(report.size()) ? 0 : 1);
  }
  close(result[1]);
  std::string report = readAll(result[0]);
  close(result[0]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
  if (report == "no seccomp")
    GTEST_SKIP() << "the kernel takes no seccomp filter here";
  // Refused, server-error-internal-error (0x0500).
  EXPECT_EQ(report, "0 3 0 5 0\n0 PPD file " + ppd +
                        " refused: no private copy of it could be made "
                        "(fcntl(F_ADD_SEALS): Operation not permitted (1))");
}

TEST(RootCodePrinting, RefusedPpdPathIsEscapedInTheLogAndOnStandardError) {
  // The path comes from the core: a newline in it must not start a line of
  // the core's choosing, nor a terminal escape rewrite the screen.
  testing_support::TempDir dir;
  std::string ppd = dir / "big\nRootCodePrint: forged\x1b[2K.ppd";
  std::ofstream(ppd).close();
  ASSERT_EQ(truncate(ppd.c_str(), off_t(print::maxPpdSize) + 1), 0);
  std::string request = std::string(1, '\0') + str("p1") + str("Viewer printer") + str(ppd) +
                        str("7") + u32(getuid()) + std::string(1, '\0');
  uid_t uidBefore = os::RootCode::uid;
  os::RootCode::uid = getuid();
  testing_support::ScopedCapture capture("RootCodePrinting", 100);
  testing::internal::CaptureStderr();
  Served s;
  {
    RootCodePrinting module;
    s = serve(module, request);
  }
  std::string err = testing::internal::GetCapturedStderr();
  os::RootCode::uid = uidBefore;
  EXPECT_EQ(s.reply, std::string(1, '\0') + u16(RootCodePrinting::tooLarge));
  std::string shown = dir / "big\\x0aRootCodePrint: forged\\x1b[2K.ppd";
  std::string line =
      "PPD file " + shown + " refused: larger than " + std::to_string(print::maxPpdSize) + " bytes";
  EXPECT_EQ(capture.logger.textsAt(0), std::vector<std::string>{line});
  EXPECT_EQ(err, line + "\n");
}

TEST(RootCodePrinting, OneInstance) {
  std::string none = thrownMessage([] { RootCodePrinting::instance(); });
  EXPECT_EQ(none.rfind("Assertion 'instance_' failed at RootCodePrinting.cpp:", 0), 0u) << none;
  RootCodePrinting module;
  EXPECT_STREQ(module.name(), "Printing");
  EXPECT_EQ(&RootCodePrinting::instance(), &module);
  std::string second = thrownMessage([] { RootCodePrinting another; });
  EXPECT_EQ(second.rfind("Assertion '!instance_' failed at RootCodePrinting.cpp:", 0), 0u)
      << second;
  // The failed second one left the first in place.
  EXPECT_EQ(&RootCodePrinting::instance(), &module);
}

TEST(RootCodePrinting, UnknownRequestKind) {
  RootCodePrinting module;
  for (int kind : {2, 7, 255}) {
    Served s = serve(module, std::string(1, char(kind)));
    EXPECT_EQ(s.reply, std::string("\0\0\0", 3)) << kind;
    EXPECT_EQ(s.left, 0);
  }
}

TEST(RootCodePrinting, RemovingAQueueNotAddedIsRefused) {
  // The core may remove only what this co-process added for it, or a queue
  // the printing system shows to be left behind for its user; no printing
  // system vouches for this one, and the reply says forbidden.
  RootCodePrinting module;
  Served s = serve(module, std::string(1, '\x01') + str("someone-elses-queue"));
  EXPECT_EQ(s.reply, std::string(1, '\0') + u16(0x0401));
  EXPECT_EQ(s.left, 0);
}

TEST(RootCodePrinting, OverlongFieldsEndTheCoprocess) {
  RootCodePrinting module;
  struct {
    std::string request;
  } cases[] = {
      {std::string(1, '\x01') + str(std::string(257, 'n'))},
      {std::string(1, '\0') + str("p1") + str(std::string(257, 'd'))},
      {std::string(1, '\0') + str("p1") + str("d") + str(std::string(4097, '/'))},
      {std::string(1, '\0') + str("p1") + str("d") + str("/x.ppd") + str(std::string(257, '7'))},
  };
  for (const auto& c : cases)
    EXPECT_EQ(thrownMessage([&] { serve(module, c.request); }), "String exceeds maximum length");
}

TEST(RootCodePrinting, RequestCutShortIsEndOfStream) {
  RootCodePrinting module;
  std::string whole = std::string(1, '\0') + str("p1") + str("d") + str("/x.ppd") + str("7") +
                      u32(1000) + std::string(1, '\x01');
  for (size_t cut : {size_t(0), size_t(3), whole.size() - 1})
    EXPECT_EQ(thrownMessage([&] { serve(module, whole.substr(0, cut)); }), "End of stream") << cut;
}

TEST(RootCodePrinting, CoreSendsRequestsAndReadsReplies) {
  auto add = [] {
    RootCodePrinting module;
    bool ok = module.addPrinter("p1", "Viewer printer", "/tmp/p1.ppd", "7", 1000, 1);
    return std::to_string(ok) + " " + std::to_string(module.lastError());
  };
  auto run = runCore(std::string("\x01", 1) + u16(0), add);
  EXPECT_EQ(run.first, header + std::string(1, '\0') + str("p1") + str("Viewer printer") +
                           str("/tmp/p1.ppd") + str("7") + u32(1000) + "\x01");
  EXPECT_EQ(run.second, "1 0");

  run = runCore(std::string(1, '\0') + u16(0x0500), add);
  EXPECT_EQ(run.second, "0 1280");

  run = runCore(std::string(1, '\0') + u16(0x0406), [] {
    RootCodePrinting module;
    bool ok = module.removePrinter("p1");
    return std::to_string(ok) + " " + std::to_string(module.lastError());
  });
  EXPECT_EQ(run.first, header + "\x01" + str("p1"));
  EXPECT_EQ(run.second, "0 1030");
}

TEST(RootCodePrinting, CoreRefusesFieldsTheCoprocessWouldNotTake) {
  auto run = runCore(std::string("\x01", 1) + u16(0), [] {
    RootCodePrinting module;
    bool a = module.addPrinter(std::string(257, 'n').c_str(), "d", "/p.ppd", "7", 0, 0);
    bool b = module.addPrinter("p1", "d", std::string(4097, '/').c_str(), "7", 0, 0);
    bool c = module.removePrinter(std::string(300, 'n').c_str());
    return std::to_string(a) + std::to_string(b) + std::to_string(c) + " " +
           std::to_string(module.lastError());
  });
  EXPECT_EQ(run.first, "");
  EXPECT_EQ(run.second, "000 1024");
}

TEST(RootCodePrintingDeathTest, MissingLibraryIsLoggedAndAnswered) {
  // The child is this program started afresh with the empty stand-in
  // printing library first on its library path: nothing can be bound.
  std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  testing_support::ScopedEnv libraryPath("LD_LIBRARY_PATH", ZAV_CUPS_NOLIB_DIR);
  EXPECT_EXIT(
      {
        fputs(missingLibraryReport().c_str(), stderr);
        exit(0);
      },
      ::testing::ExitedWithCode(0),
      "^100 failed to load cupsSetPasswordCB\n"
      "30 CUPS not found - print functionality will be disabled\n"
      "reply 000500\n$");
  GTEST_FLAG_SET(death_test_style, style);
}
