#include "rdr/FdInStream.h"

#include "DescriptorLimit.h"
#include "PipeFixture.h"
#include "rdr/Exception.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <sys/resource.h>
#include <sys/select.h>
#include <thread>

using testing_support::InterruptingSignal;
using testing_support::Pipe;

namespace {

TEST(FdInStream, NonWaitingReadOfAnEmptyPipeRewindsAndReportsBlock) {
  Pipe p;
  Pipe::nonBlocking(p.r);
  rdr::FdInStream in(p.r, -1, 0, false, true);
  ASSERT_EQ(write(p.w, "\x00\x07", 2), 2);
  EXPECT_EQ(in.readU16(), 7);
  in.checkpoint();
  ASSERT_EQ(write(p.w, "\x01", 1), 1);
  EXPECT_EQ(in.readU8(), 1);
  EXPECT_FALSE(in.overrun(false, 1));
  EXPECT_EQ(in.pos(), 2) << "back at the checkpoint";
  EXPECT_THROW(in.readU16(), rdr::BlockException);
  ASSERT_EQ(write(p.w, "\x02", 1), 1);
  EXPECT_EQ(in.readU16(), 0x0102);
}

TEST(FdInStream, ClosedPipeIsEndOfStreamAlsoWhenNotWaiting) {
  for (bool nonWaiting : {false, true}) {
    Pipe p;
    Pipe::nonBlocking(p.r);
    rdr::FdInStream in(p.r, -1, 0, false, nonWaiting);
    ASSERT_EQ(write(p.w, "x", 1), 1);
    p.closeWrite();
    EXPECT_EQ(in.readU8(), 'x');
    EXPECT_THROW(in.readU8(), rdr::EndOfStream);
  }
}

// A stream read only when select() finds its descriptor readable makes no
// read() after a short one (that read would end in EAGAIN) until it is told
// the descriptor is readable again; other streams read as before.
TEST(FdInStream, SelectDrivenStreamReadsAfterAShortReadOnlyWhenMarkedReadable) {
  class Counting : public rdr::FdInStream {
  public:
    using rdr::FdInStream::FdInStream;
    int calls = 0;

  protected:
    int readFd(std::uint8_t* buffer, int length) override {
      ++calls;
      return rdr::FdInStream::readFd(buffer, length);
    }
  };
  for (bool selectDriven : {false, true}) {
    SCOPED_TRACE(selectDriven ? "select-driven" : "plain");
    Pipe p;
    Pipe::nonBlocking(p.r);
    Counting in(p.r, -1, 0, false, true);
    in.setSelectDriven(selectDriven);
    ASSERT_EQ(write(p.w, "a", 1), 1);
    EXPECT_EQ(in.readU8(), 'a');
    EXPECT_EQ(in.calls, 1);
    in.checkpoint();
    EXPECT_FALSE(in.overrun(false, 1));
    EXPECT_EQ(in.calls, selectDriven ? 1 : 2);
    ASSERT_EQ(write(p.w, "b", 1), 1);
    EXPECT_EQ(in.overrun(false, 1), !selectDriven);
    in.markReadable();
    EXPECT_EQ(in.readU8(), 'b');
    p.closeWrite();
    in.markReadable();
    EXPECT_THROW(in.readU8(), rdr::EndOfStream);
  }
}

TEST(FdInStream, WaitingReadTimesOut) {
  Pipe p;
  Pipe::nonBlocking(p.r);
  rdr::FdInStream in(p.r, 100);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_THROW(in.readU8(), plat::TimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(95));
  ASSERT_EQ(write(p.w, "y", 1), 1);
  EXPECT_EQ(in.readU8(), 'y') << "the stream stays usable";
}

TEST(FdInStream, InterruptedWaitsAreRetried) {
  Pipe p;
  Pipe::nonBlocking(p.r);
  InterruptingSignal sig;
  rdr::FdInStream in(p.r);
  pthread_t reader = pthread_self();
  std::thread writer([&] {
    for (int i = 0; i < 20; i++) {
      pthread_kill(reader, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    (void)!write(p.w, "\x12\x34\x56\x78", 4);
  });
  EXPECT_EQ(in.readU32(), 0x12345678u);
  writer.join();
  EXPECT_GT(InterruptingSignal::count.load(), 0);
}

TEST(FdInStream, OwnsTheDescriptorOnlyWhenTold) {
  Pipe p;
  { rdr::FdInStream in(p.r); }
  EXPECT_NE(fcntl(p.r, F_GETFD), -1);
  { rdr::FdInStream in(p.r, -1, 0, true); }
  EXPECT_EQ(fcntl(p.r, F_GETFD), -1);
  p.r = -1;
}

// select() cannot wait for such a descriptor; the stream says so instead of
// writing past the fd_set.
TEST(FdInStream, DescriptorBeyondTheSelectLimitIsRefused) {
  testing_support::DescriptorLimit limit(FD_SETSIZE + 10);
  if (!limit.allowed())
    GTEST_SKIP() << "descriptor limit too low to open descriptor " << FD_SETSIZE + 10;
  Pipe p;
  int high = dup2(p.r, FD_SETSIZE + 10);
  ASSERT_EQ(high, FD_SETSIZE + 10);
  Pipe::nonBlocking(high);
  {
    rdr::FdInStream in(high, -1, 0, true);
    try {
      in.readU8();
      ADD_FAILURE() << "no exception";
    } catch (plat::Exception& e) {
      EXPECT_NE(std::string(e.str()).find("cannot be waited for with select()"), std::string::npos)
          << e.str();
    }
  }
}

} // namespace
