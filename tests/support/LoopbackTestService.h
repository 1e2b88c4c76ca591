// A stand-in for the connection test's web service on 127.0.0.1 (or another
// loopback address): a listening socket on a free port (or a given one) whose
// single client the test accepts, reads and answers by hand, so every byte of
// the answer and its timing is the test's. Owns its descriptors.
#pragma once

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace testing_support {

class LoopbackTestService {
public:
  explicit LoopbackTestService(int backlog = 4, const char* address = "127.0.0.1", int port = 0) {
    listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address, &sa.sin_addr);
    bind(listenFd, reinterpret_cast<struct sockaddr*>(&sa), sizeof sa);
    listen(listenFd, backlog);
    socklen_t len = sizeof sa;
    getsockname(listenFd, reinterpret_cast<struct sockaddr*>(&sa), &len);
    port_ = ntohs(sa.sin_port);
  }
  ~LoopbackTestService() {
    closeClient();
    if (listenFd >= 0)
      close(listenFd);
  }
  LoopbackTestService(const LoopbackTestService&) = delete;
  LoopbackTestService& operator=(const LoopbackTestService&) = delete;

  int port() const { return port_; }

  // Takes the next pending client, waiting at most timeoutMs; false when none came.
  bool accept(int timeoutMs = 5000) {
    struct pollfd pfd = {listenFd, POLLIN, 0};
    if (poll(&pfd, 1, timeoutMs) <= 0)
      return false;
    closeClient();
    clientFd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    return clientFd >= 0;
  }
  // Reads until the blank line that ends a request (or the client closes, or
  // timeoutMs pass without data) and returns all that came.
  std::string readRequest(int timeoutMs = 5000) {
    std::string got;
    while (got.find("\r\n\r\n") == std::string::npos) {
      struct pollfd pfd = {clientFd, POLLIN, 0};
      if (poll(&pfd, 1, timeoutMs) <= 0)
        break;
      char buf[4096];
      ssize_t n = recv(clientFd, buf, sizeof buf, 0);
      if (n <= 0)
        break;
      got.append(buf, static_cast<size_t>(n));
    }
    return got;
  }
  void send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::send(clientFd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        return;
      done += static_cast<size_t>(n);
    }
  }
  // True when the client has closed its end (reads end of file) within the
  // time; the close comes at once, the time allows for a busy machine.
  bool clientClosed(int timeoutMs = 5000) {
    struct pollfd pfd = {clientFd, POLLIN, 0};
    if (poll(&pfd, 1, timeoutMs) <= 0)
      return false;
    char c;
    return recv(clientFd, &c, 1, MSG_DONTWAIT) <= 0;
  }
  void closeClient() {
    if (clientFd >= 0)
      close(clientFd);
    clientFd = -1;
  }

private:
  int listenFd = -1;
  int clientFd = -1;
  int port_ = 0;
};

// A service that answers no connection attempt: it listens on a loopback
// address (and a free port, or a given one) with a backlog of 0 and never
// accepts, and connections of its own fill its accept queue, so a connect
// to it stays in progress until given up.
class SilentTestService {
public:
  explicit SilentTestService(const char* address = "127.0.0.1", int port = 0)
      : service_(0, address, port) {
    for (int i = 0; i < 4; i++) {
      int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
      struct sockaddr_in sa = {};
      sa.sin_family = AF_INET;
      sa.sin_port = htons(static_cast<uint16_t>(service_.port()));
      inet_pton(AF_INET, address, &sa.sin_addr);
      connect(fd, reinterpret_cast<struct sockaddr*>(&sa), sizeof sa);
      fillers_.push_back(fd);
    }
  }
  ~SilentTestService() {
    for (int fd : fillers_)
      close(fd);
  }
  SilentTestService(const SilentTestService&) = delete;
  SilentTestService& operator=(const SilentTestService&) = delete;

  int port() const { return service_.port(); }

private:
  LoopbackTestService service_;
  std::vector<int> fillers_;
};

} // namespace testing_support
