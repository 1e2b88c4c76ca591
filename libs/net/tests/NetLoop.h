// Test support for the networking tests: a timer manager and a select
// manager driven pass by pass, a clock the test moves by hand, a recording
// channel handler, socket pairs and loopback helpers.
#pragma once

#include "net/io/FdIo.h"
#include "net/io/FdSelectManager.h"
#include "net/io/IoHandler.h"
#include "plat/Clock.h"
#include "plat/Exception.h"
#include "plat/Time.h"
#include "plat/TimerManager.h"
#include "rdr/Exception.h"

#include <arpa/inet.h>
#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace testing_support {

class ManualClock : public plat::Clock {
public:
  ManualClock() : t_(plat::currentTime()) { previous_ = plat::Clock::install(this); }
  ~ManualClock() override { plat::Clock::install(previous_); }
  std::uint64_t now() override { return t_; }
  void advanceMs(std::int64_t ms) { t_ += static_cast<std::uint64_t>(ms) * 10000; }

private:
  std::uint64_t t_;
  plat::Clock* previous_;
};

struct Loop {
  plat::TimerManager timers;
  io::FdSelectManager mgr;

  // One pass: due timers, then one select step waiting at most timeoutMs.
  int pass(int timeoutMs = 0) {
    timers.processTimers();
    return mgr.doSelect(0, nullptr, nullptr, nullptr, timeoutMs);
  }
  // Passes until pred holds; false when it still does not after maxPasses.
  bool runUntil(const std::function<bool()>& pred, int maxPasses = 2000, int timeoutMs = 50) {
    for (int i = 0; i < maxPasses; i++) {
      if (pred())
        return true;
      pass(timeoutMs);
    }
    return pred();
  }
};

// Records the events of the channels it handles into a shared log, reads
// whatever arrives, and can be told to throw.
class Recorder : public io::IoHandler {
public:
  Recorder(std::vector<std::string>* log, const char* tag) : log_(log), tag_(tag) {}
  void readable(io::Io* io) override {
    log_->push_back(tag_ + ":readable");
    if (throwOnRead)
      throw plat::Exception("handler failed on purpose");
    if (removeOnRead)
      removeOnRead->setHandler(nullptr, false);
    rdr::FdInStream* in = io->asFdIo()->getInStream();
    in->checkpoint();
    while (in->avail() > 0 || in->overrun(false, 1)) {
      data.append(reinterpret_cast<const char*>(in->getptr()), in->avail());
      in->setPtr(in->getend());
      in->checkpoint();
    }
  }
  void writable(io::Io*) override { log_->push_back(tag_ + ":writable"); }
  void closed(io::Io*) override {
    log_->push_back(tag_ + ":closed");
    closedCount++;
  }
  bool saw(const std::string& event) const {
    for (const std::string& e : *log_)
      if (e == tag_ + ":" + event)
        return true;
    return false;
  }

  std::string data;
  bool throwOnRead = false;
  io::Io* removeOnRead = nullptr;
  int closedCount = 0;

private:
  std::vector<std::string>* log_;
  std::string tag_;
};

struct SocketPair {
  int fds[2] = {-1, -1};
  SocketPair() { socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds); }
  ~SocketPair() {
    for (int fd : fds)
      if (fd >= 0)
        close(fd);
  }
  // Hands one end over to a channel that will close it.
  int take(int i) {
    int fd = fds[i];
    fds[i] = -1;
    return fd;
  }
};

// A blocking IPv4 client connected to 127.0.0.1:port, or -1.
inline int connectLoopback(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  struct sockaddr_in sa = {};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<struct sockaddr*>(&sa), sizeof sa) < 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// True when this machine can bind the IPv6 loopback address.
inline bool haveIPv6Loopback() {
  int fd = socket(AF_INET6, SOCK_STREAM, 0);
  if (fd < 0)
    return false;
  struct sockaddr_in6 sa = {};
  sa.sin6_family = AF_INET6;
  sa.sin6_addr = in6addr_loopback;
  bool ok = bind(fd, reinterpret_cast<struct sockaddr*>(&sa), sizeof sa) == 0;
  close(fd);
  return ok;
}

// Everything readable on fd right now, without waiting.
inline std::string readNow(int fd) {
  std::string got;
  char buf[65536];
  for (;;) {
    ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n <= 0)
      break;
    got.append(buf, n);
  }
  return got;
}

} // namespace testing_support
