#include "net/io/FdSelectManager.h"

#include "CaptureLogger.h"
#include "DescriptorLimit.h"
#include "NetLoop.h"
#include "net/io/FdIo.h"
#include "net/io/IoAcceptor.h"
#include "net/io/TcpListener.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <thread>

using testing_support::Loop;
using testing_support::ManualClock;
using testing_support::Recorder;
using testing_support::ScopedCapture;
using testing_support::SocketPair;

namespace {

int countLines(const testing_support::CaptureLogger& logger, const std::string& fragment) {
  return static_cast<int>(std::count_if(logger.lines.begin(), logger.lines.end(), [&](auto& l) {
    return l.text.find(fragment) != std::string::npos;
  }));
}

bool fdOpen(int fd) {
  return fcntl(fd, F_GETFD) != -1;
}

// A channel served by rec with a megabyte of output that the peer (the other
// end of sp) never reads.
io::FdIo* stalledChannel(SocketPair& sp, Recorder& rec) {
  io::FdIo* io = new io::FdIo(sp.take(0), true);
  io->setHandler(&rec, false);
  std::string block(1 << 20, 'z');
  io->getOutStream()->writeBytes(block.data(), static_cast<int>(block.size()));
  io->getOutStream()->flush();
  return io;
}

TEST(FdSelectManager, FirstEventOfANewChannelIsWritableThenWriteInterestDrops) {
  Loop loop;
  SocketPair sp;
  std::vector<std::string> log;
  Recorder rec(&log, "a");
  io::FdIo* io = new io::FdIo(sp.take(0), true);
  io->setHandler(&rec, false);
  EXPECT_TRUE(loop.mgr.wantsWrite(io));
  loop.pass();
  EXPECT_EQ(log, std::vector<std::string>{"a:writable"});
  EXPECT_FALSE(loop.mgr.wantsWrite(io));
  loop.pass();
  EXPECT_EQ(log.size(), 1u) << "nothing more without new output";
  io->setHandler(nullptr, false);
  delete io;
}

TEST(FdSelectManager, ShutdownWritesOutAMegabyteBeforeClosed) {
  Loop loop;
  SocketPair sp;
  std::vector<std::string> log;
  Recorder writer(&log, "w"), reader(&log, "r");
  int writerFd = sp.take(0);
  io::FdIo* out = new io::FdIo(writerFd, true);
  io::FdIo* in = new io::FdIo(sp.take(1), true);
  out->setHandler(&writer, false);
  in->setHandler(&reader, true);
  std::string payload(1 << 20, '\0');
  for (size_t i = 0; i < payload.size(); i++)
    payload[i] = char(i * 31 + i / 4096);
  out->getOutStream()->writeBytes(payload.data(), static_cast<int>(payload.size()));
  out->getOutStream()->flush(); // non-waiting: only what the socket takes now
  EXPECT_GT(out->getOutStream()->unsentBytes(), 0);
  out->shutdown(true, true);
  ASSERT_TRUE(loop.runUntil([&] { return reader.closedCount == 1; }));
  EXPECT_EQ(writer.closedCount, 1);
  EXPECT_EQ(reader.data.size(), payload.size());
  EXPECT_TRUE(reader.data == payload);
  EXPECT_FALSE(fdOpen(writerFd)) << "the manager deleted the channel";
  auto closedAt = std::find(log.begin(), log.end(), "w:closed");
  auto lastRead = std::find(log.rbegin(), log.rend(), "r:readable");
  EXPECT_TRUE(closedAt != log.end() && lastRead != log.rend());
}

TEST(FdSelectManager, HandlerThatThrowsClosesOnlyItsOwnChannel) {
  ScopedCapture capture("FdManager", 0);
  ASSERT_TRUE(capture.found());
  Loop loop;
  SocketPair a, b;
  std::vector<std::string> log;
  Recorder bad(&log, "bad"), good(&log, "good");
  bad.throwOnRead = true;
  int badFd = a.take(0);
  io::FdIo* badIo = new io::FdIo(badFd, true);
  io::FdIo* goodIo = new io::FdIo(b.take(0), true);
  badIo->setHandler(&bad, true);
  goodIo->setHandler(&good, true);
  ASSERT_EQ(write(a.fds[1], "x", 1), 1);
  ASSERT_EQ(write(b.fds[1], "y", 1), 1);
  loop.pass();
  EXPECT_TRUE(bad.saw("closed"));
  EXPECT_EQ(good.data, "y") << "served in the same pass";
  EXPECT_FALSE(good.saw("closed"));
  EXPECT_FALSE(fdOpen(badFd));
  ASSERT_EQ(countLines(capture.logger, "handler failed on purpose"), 1);
  for (auto& l : capture.logger.lines)
    if (l.text.find("handler failed") != std::string::npos) {
      EXPECT_EQ(l.level, 0);
    }
  ASSERT_EQ(write(b.fds[1], "z", 1), 1);
  loop.pass();
  EXPECT_EQ(good.data, "yz") << "the loop goes on";
  goodIo->setHandler(nullptr, false);
  delete goodIo;
}

TEST(FdSelectManager, SignalMakesTheSelectStepReturnOneWithEmptySets) {
  struct sigaction sa = {}, old;
  sa.sa_handler = [](int) {};
  sigemptyset(&sa.sa_mask);
  sigaction(SIGUSR1, &sa, &old);
  Loop loop;
  SocketPair quiet;
  fd_set rfds;
  FD_ZERO(&rfds);
  FD_SET(quiet.fds[0], &rfds);
  std::atomic<bool> done{false};
  pthread_t self = pthread_self();
  std::thread kicker([&] {
    while (!done) {
      pthread_kill(self, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  int r = loop.mgr.doSelect(quiet.fds[0] + 1, &rfds, nullptr, nullptr, -1);
  done = true;
  kicker.join();
  sigaction(SIGUSR1, &old, nullptr);
  EXPECT_EQ(r, 1);
  EXPECT_FALSE(FD_ISSET(quiet.fds[0], &rfds));
}

class AcceptLog : public io::IoAcceptor {
public:
  explicit AcceptLog(std::vector<std::string>* log) : log_(log) {}
  ~AcceptLog() override {
    for (io::Io* io : accepted_)
      delete io;
  }
  void accepted(io::Io* io, bool incoming) override {
    log_->push_back(incoming ? "accepted" : "accepted-outgoing");
    accepted_.push_back(io);
  }
  size_t count() const { return accepted_.size(); }

private:
  std::vector<std::string>* log_;
  std::vector<io::Io*> accepted_;
};

TEST(FdSelectManager, WorkRunsInTheOrderAcceptsReadsWriteOutsCleanups) {
  Loop loop;
  std::vector<std::string> log;
  io::TcpListener listener(0, AF_INET, true);
  int port = listener.getLocalAddress().port;
  int client = testing_support::connectLoopback(port);
  ASSERT_GE(client, 0);
  AcceptLog acceptor(&log);
  SocketPair r, w, c;
  Recorder rRec(&log, "reader"), wRec(&log, "writer"), cRec(&log, "closer");
  io::FdIo* rIo = new io::FdIo(r.take(0), true);
  io::FdIo* wIo = new io::FdIo(w.take(0), true);
  io::FdIo* cIo = new io::FdIo(c.take(0), true);
  rIo->setHandler(&rRec, true);
  cIo->setHandler(&cRec, true);
  loop.pass(); // the first writable of the reader and closer
  log.clear();
  ASSERT_EQ(write(r.fds[1], "data", 4), 4);
  wIo->setHandler(&wRec, false);
  cIo->shutdown(false, true);
  listener.setAcceptor(&acceptor);
  loop.pass();
  EXPECT_EQ(log, (std::vector<std::string>{"accepted", "reader:readable", "writer:writable",
                                           "closer:closed"}));
  listener.setAcceptor(nullptr);
  for (io::FdIo* io : {rIo, wIo}) {
    io->setHandler(nullptr, false);
    delete io;
  }
  close(client);
}

TEST(FdSelectManager, RemovedChannelIsPurgedFromEveryWorkList) {
  Loop loop;
  SocketPair a, b;
  std::vector<std::string> log;
  Recorder aRec(&log, "a"), bRec(&log, "b");
  io::FdIo* aIo = new io::FdIo(a.take(0), true);
  io::FdIo* bIo = new io::FdIo(b.take(0), true);
  aIo->setHandler(&aRec, true);
  bIo->setHandler(&bRec, true);
  loop.pass();
  log.clear();
  // Both are readable and have output to write out in the same pass; each
  // handler removes the other, so whichever runs first, the other must not
  // be served any more in that pass.
  ASSERT_EQ(write(a.fds[1], "1", 1), 1);
  ASSERT_EQ(write(b.fds[1], "2", 1), 1);
  for (io::FdIo* io : {aIo, bIo}) {
    io->getOutStream()->writeU8(7);
    io->getOutStream()->flush();
  }
  aRec.removeOnRead = bIo;
  bRec.removeOnRead = aIo;
  loop.pass();
  ASSERT_FALSE(log.empty());
  io::FdIo* survivor = log[0] == "a:readable" ? aIo : bIo;
  io::FdIo* removed = survivor == aIo ? bIo : aIo;
  const std::string removedTag = removed == aIo ? "a:" : "b:";
  for (const std::string& event : log)
    EXPECT_NE(event.rfind(removedTag, 0), 0u) << event << ": the removed channel was served";
  EXPECT_FALSE(loop.mgr.isServed(removed));
  EXPECT_TRUE(loop.mgr.isServed(survivor));
  delete removed;
  survivor->setHandler(nullptr, false);
  delete survivor;
}

// A handler that answers in readable() and whose answer goes out at once
// hears writable() in the same pass, not after another select() that waits
// for nothing; every event still comes, once.
TEST(FdSelectManager, AnswerThatWentOutIsReportedWritableInTheSamePass) {
  class Echo : public io::IoHandler {
  public:
    explicit Echo(std::vector<std::string>* log) : log_(log) {}
    void readable(io::Io* io) override {
      log_->push_back("readable");
      rdr::FdInStream* in = io->asFdIo()->getInStream();
      rdr::FdOutStream* out = io->asFdIo()->getOutStream();
      in->checkpoint();
      while (in->avail() > 0 || in->overrun(false, 1)) {
        out->writeBytes(in->getptr(), static_cast<int>(in->avail()));
        in->setPtr(in->getend());
        in->checkpoint();
      }
      out->flush();
    }
    void writable(io::Io*) override { log_->push_back("writable"); }
    void closed(io::Io*) override { log_->push_back("closed"); }

  private:
    std::vector<std::string>* log_;
  };
  testing_support::Loop loop;
  testing_support::SocketPair sp;
  std::vector<std::string> log;
  Echo echo(&log);
  io::FdIo* io = new io::FdIo(sp.take(0), true);
  io->setHandler(&echo, true);
  loop.pass();
  EXPECT_EQ(log, std::vector<std::string>{"writable"});
  for (const char* text : {"x", "yz"}) {
    log.clear();
    ASSERT_EQ(write(sp.fds[1], text, strlen(text)), ssize_t(strlen(text)));
    loop.pass(1000);
    EXPECT_EQ(log, (std::vector<std::string>{"readable", "writable"})) << text;
    EXPECT_EQ(testing_support::readNow(sp.fds[1]), text);
    loop.pass();
    EXPECT_EQ(log.size(), 2u) << "nothing more without new input";
  }
  io->setHandler(nullptr, false);
  delete io;
}

TEST(FdSelectManager, DescriptorAtOrAboveFdSetsizeIsRefused) {
  testing_support::DescriptorLimit limit(FD_SETSIZE + 10);
  if (!limit.allowed())
    GTEST_SKIP() << "descriptor limit too low to open descriptor " << FD_SETSIZE + 10;
  Loop loop;
  SocketPair sp;
  int high = dup2(sp.fds[0], FD_SETSIZE + 10);
  ASSERT_EQ(high, FD_SETSIZE + 10);
  std::vector<std::string> log;
  Recorder rec(&log, "high");
  io::FdIo* io = new io::FdIo(high, true);
  try {
    io->setHandler(&rec, true);
    ADD_FAILURE() << "accepted a descriptor select() cannot take";
  } catch (plat::Exception& e) {
    EXPECT_NE(std::string(e.str()).find("select() takes descriptors below"), std::string::npos);
  }
  EXPECT_FALSE(loop.mgr.isServed(io));
  loop.pass();
  delete io;
}

// Out of descriptors: the failed accept is logged once, the loop and the
// other channels go on, and the connection is taken once descriptors are
// available again. The listener is real; only its accept() reports EMFILE
// (exhausting the process's descriptors would also starve the sanitizers).
class ExhaustedListener : public io::TcpListener {
public:
  ExhaustedListener() : io::TcpListener(0, AF_INET, true) {}
  io::FdIo* accept() override {
    calls++;
    if (exhausted)
      throw plat::SystemException("unable to accept new connection", EMFILE);
    return io::TcpListener::accept();
  }
  bool exhausted = true;
  int calls = 0;
};

TEST(FdSelectManager, AcceptFailureIsLoggedOnceAndSurvived) {
  ScopedCapture capture("FdManager", 0);
  std::vector<std::string> log;
  AcceptLog acceptor(&log);
  Recorder otherRec(&log, "other");
  ManualClock clock;
  Loop loop;
  ExhaustedListener listener;
  listener.setAcceptor(&acceptor);
  SocketPair other;
  io::FdIo* otherIo = new io::FdIo(other.take(0), true);
  otherIo->setHandler(&otherRec, true);
  loop.pass();
  int client = testing_support::connectLoopback(listener.getLocalAddress().port);
  ASSERT_GE(client, 0);
  for (int i = 0; i < 5; i++) {
    ASSERT_EQ(write(other.fds[1], "p", 1), 1);
    clock.advanceMs(1500); // lets the resting listener try again
    loop.pass(10);
  }
  EXPECT_GE(listener.calls, 3) << "the listener is retried";
  EXPECT_LE(listener.calls, 7) << "but does not spin";
  EXPECT_EQ(acceptor.count(), 0u);
  EXPECT_EQ(otherRec.data, "ppppp") << "the other channel was served throughout";
  EXPECT_EQ(countLines(capture.logger, "unable to accept new connection"), 1);

  listener.exhausted = false;
  clock.advanceMs(1500);
  ASSERT_TRUE(loop.runUntil([&] { return acceptor.count() == 1; }, 20, 10));
  listener.setAcceptor(nullptr);
  otherIo->setHandler(nullptr, false);
  delete otherIo;
  close(client);
}

TEST(FdSelectManager, TimeoutIsBoundedByTheNextTimer) {
  class Nop : public plat::Timer::Callback {
    bool timerCallback(plat::Timer*) override { return false; }
  } nop;
  Loop loop;
  plat::Timer timer(&nop);
  timer.start(30);
  auto t0 = std::chrono::steady_clock::now();
  loop.mgr.doSelect(0, nullptr, nullptr, nullptr, -1);
  auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_LT(waited, std::chrono::seconds(5)) << "did not wait without limit";
  EXPECT_GE(waited, std::chrono::milliseconds(25));
  EXPECT_EQ(loop.timers.processTimers(), 0) << "the timer is due when select() returns";
}

// A timer set to the largest time there is bounds the wait as any other
// (one millisecond past it, with no overflow); a ready descriptor ends it.
TEST(FdSelectManager, TheLargestTimerTimeIsWaitedFor) {
  class Nop : public plat::Timer::Callback {
    bool timerCallback(plat::Timer*) override { return false; }
  } nop;
  Loop loop;
  plat::Timer timer(&nop);
  timer.start(INT_MAX);
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  ASSERT_EQ(write(p[1], "x", 1), 1);
  for (int timeoutMs : {-1, INT_MAX}) {
    fd_set rfds;
    FD_ZERO(&rfds);
    FD_SET(p[0], &rfds);
    EXPECT_EQ(loop.mgr.doSelect(p[0] + 1, &rfds, nullptr, nullptr, timeoutMs), 1) << timeoutMs;
    EXPECT_TRUE(FD_ISSET(p[0], &rfds)) << timeoutMs;
  }
  timer.stop();
  close(p[0]);
  close(p[1]);
}

// A peer that takes nothing: after "LazyFlushTimeout" seconds the channel is
// given up without a flush and its handler hears closed().
TEST(FdSelectManager, UnresponsivePeerIsGivenUpAfterTheLazyFlushTimeout) {
  std::vector<std::string> log;
  Recorder rec(&log, "slow");
  ManualClock clock;
  Loop loop;
  SocketPair sp;
  io::FdIo* io = stalledChannel(sp, rec);
  loop.pass();
  ASSERT_FALSE(rec.saw("closed"));
  // Steps below the timer manager's 240-second jump limit, as a running loop
  // would take them.
  for (int s = 0; s < 299; s += 100) {
    clock.advanceMs(std::min(100, 299 - s) * 1000);
    loop.pass();
  }
  EXPECT_FALSE(rec.saw("closed"));
  clock.advanceMs(2 * 1000);
  loop.pass();
  loop.pass();
  EXPECT_TRUE(rec.saw("closed"));
  EXPECT_FALSE(loop.mgr.isServed(io));
}

TEST(FdSelectManager, LazyFlushTimeoutHasARangeAndServesFortyNineDays) {
  plat::ParameterSet& global = plat::ParameterSet::global();
  struct Case {
    const char* value;
    bool ok;
  } cases[] = {{"0", false}, {"-1", false}, {"1", true}, {"4233600", true}, {"4233601", false}};
  for (const Case& c : cases)
    EXPECT_EQ(global.setParam("LazyFlushTimeout", c.value, 50), c.ok) << c.value;

  ASSERT_TRUE(global.setParam("LazyFlushTimeout", "4233600", 50)); // 49 days
  std::vector<std::string> log;
  Recorder rec(&log, "slow");
  ManualClock clock;
  Loop loop;
  SocketPair sp;
  stalledChannel(sp, rec);
  loop.pass();
  const std::int64_t step = 200 * 1000;
  std::int64_t elapsed = 0;
  while (!rec.saw("closed") && elapsed < 50LL * 24 * 3600 * 1000) {
    clock.advanceMs(step);
    elapsed += step;
    loop.timers.processTimers();
    loop.mgr.processPending();
  }
  global.find("LazyFlushTimeout")->unsetParam(50);
  EXPECT_TRUE(rec.saw("closed"));
  EXPECT_GE(elapsed, 4233600LL * 1000) << "not before 49 days";
  EXPECT_LE(elapsed, 4233600LL * 1000 + step);
}

TEST(FdSelectManager, DestroyingTheManagerCleansUpEveryChannel) {
  std::vector<std::string> log;
  Recorder a(&log, "a"), b(&log, "b");
  SocketPair s1, s2;
  int fd1 = s1.take(0), fd2 = s2.take(0);
  {
    Loop loop;
    (new io::FdIo(fd1, true))->setHandler(&a, true);
    (new io::FdIo(fd2, true))->setHandler(&b, true);
  }
  EXPECT_EQ(a.closedCount, 1);
  EXPECT_EQ(b.closedCount, 1);
  EXPECT_FALSE(fdOpen(fd1));
  EXPECT_FALSE(fdOpen(fd2));
}

} // namespace
