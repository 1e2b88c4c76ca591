// The connection test's reading of the test service's answer, over a real
// loopback connection: the input's first byte chooses the size of the pieces
// the service sends (the loop runs between them) and whether it then ends its
// side; the rest is the answer. What the test reports must be what the
// answer's grammar gives: CRs dropped wherever they stand, LF ending a line,
// at most 1024 characters to a line, the end of the stream ending a partial
// line, the first line the address and the second the verdict. Two lines
// give the address and the verdict without error; fewer give an error once
// the service has ended its side, and no report before. Nothing may crash.
#include "zav/conntest/ConnectionTest.h"

#include "net/SelectSocketManager.h"
#include "net/io/FdSelectManager.h"
#include "plat/Exception.h"
#include "plat/TimerManager.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "%s\n", what);
    abort();
  }
}

// The stand-in test service's listening socket, made once for the run.
int listener(int* port) {
  static int fd = -1;
  static int boundPort = 0;
  if (fd < 0) {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    check(fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
              listen(fd, 4) == 0 && getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0,
          "the stand-in service cannot listen");
    boundPort = ntohs(addr.sin_port);
  }
  *port = boundPort;
  return fd;
}

// The test's request, read to its empty line; false when it did not come.
bool readRequest(int fd) {
  std::string got;
  while (got.find("\r\n\r\n") == std::string::npos) {
    pollfd pfd = {fd, POLLIN, 0};
    if (poll(&pfd, 1, 5000) <= 0)
      return false;
    char buf[256];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0)
      return false;
    got.append(buf, static_cast<size_t>(n));
  }
  return true;
}

struct Outcome : zav::ConnectionTest::Callback {
  void testComplete(zav::ConnectionTest* t, const char* error) override {
    calls++;
    failed = error != nullptr;
    address = t->externalAddress.isNull() ? std::nullopt
                                          : std::optional<std::string>(t->externalAddress.get());
    reachable = t->reachable;
  }
  int calls = 0;
  bool failed = false;
  std::optional<std::string> address;
  bool reachable = false;
};

// The answer's lines as the grammar reads them, at most two.
std::vector<std::string> answerLines(const std::uint8_t* data, size_t size, bool ended) {
  std::vector<std::string> lines;
  std::string line;
  bool anyByte = false;
  for (size_t i = 0; i < size && lines.size() < 2; i++) {
    anyByte = true;
    char c = static_cast<char>(data[i]);
    if (c == '\r')
      continue;
    if (c != '\n') {
      line.push_back(c);
      if (line.size() < static_cast<size_t>(zav::ConnectionTest::maxLineLength))
        continue;
    }
    lines.push_back(line);
    line.clear();
    anyByte = false;
  }
  if (ended && anyByte && lines.size() < 2)
    lines.push_back(line);
  return lines;
}

// The address as the test keeps it: a C string.
std::string asKept(const std::string& line) {
  return std::string(line.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const bool ends = data[0] & 1;
  const size_t piece = 1 + (data[0] >> 1);
  data++;
  size--;

  int port;
  int listenFd = listener(&port);
  plat::TimerManager timers;
  net::SelectSocketManager manager;
  zav::ConnectionTest test(&manager, "127.0.0.1", port);
  Outcome outcome;
  try {
    test.start(5901, &outcome);
  } catch (plat::Exception&) {
    // The system ran short of ports or descriptors under the run's pace:
    // the input says nothing about the reader.
    return 0;
  }
  int service = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
  check(service >= 0, "the stand-in service accepted nothing");
  check(readRequest(service), "the test sent no request");
  // An abortive close leaves no connection waiting out its time.
  struct linger abortive = {1, 0};
  setsockopt(service, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);

  auto pass = [&](int timeoutMs) {
    timers.processTimers();
    manager.getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, timeoutMs);
  };
  for (size_t at = 0; at < size && outcome.calls == 0; at += piece) {
    size_t n = std::min(piece, size - at);
    if (send(service, data + at, n, MSG_NOSIGNAL) != static_cast<ssize_t>(n))
      break; // the test closed its side after its verdict
    pass(0);
  }
  if (ends)
    shutdown(service, SHUT_WR);
  // A report is awaited for at most five seconds; without one due, a few
  // quick passes show that none comes.
  std::vector<std::string> lines = answerLines(data, size, ends);
  const bool due = ends || lines.size() >= 2;
  for (int i = 0; i < (due ? 500 : 5) && outcome.calls == 0; i++)
    pass(due ? 10 : 0);

  if (lines.size() >= 2) {
    check(outcome.calls == 1, "two answer lines gave no single report");
    check(!outcome.failed, "two answer lines were reported as a failure");
    check(outcome.address == asKept(lines[0]), "the address is not the first line");
    check(outcome.reachable == (!lines[1].empty() && lines[1][0] == '1'),
          "the verdict is not read from the second line");
    check(test.isFinished() && !test.isRunning(), "the test did not end at its verdict");
  } else if (ends) {
    check(outcome.calls == 1 && outcome.failed, "an answer cut short was not a failure");
    check(lines.empty() ? !outcome.address : outcome.address == asKept(lines[0]),
          "the address of an answer cut short is wrong");
    check(!test.isRunning(), "the test kept its connection after a failure");
  } else {
    check(outcome.calls == 0, "an answer still coming was reported");
    check(test.isRunning(), "the test let go of an answer still coming");
  }
  close(service);
  return 0;
}
