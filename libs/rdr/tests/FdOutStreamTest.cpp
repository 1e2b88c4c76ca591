#include "rdr/FdOutStream.h"

#include "PipeFixture.h"
#include "plat/ConfigParameter.h"
#include "plat/ParameterSet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using testing_support::InterruptingSignal;
using testing_support::Pipe;

namespace {

std::string drain(int fd, size_t want) {
  std::string got;
  char buf[65536];
  while (got.size() < want) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0)
      break;
    got.append(buf, n);
  }
  return got;
}

TEST(FdOutStream, WritesOutOnFlushAndMarksThatItWrote) {
  Pipe p;
  rdr::FdOutStream out(p.w);
  out.writeU32(0x41424344);
  EXPECT_FALSE(out.wroteSomething);
  out.flush();
  EXPECT_TRUE(out.wroteSomething);
  EXPECT_EQ(drain(p.r, 4), "ABCD");
}

TEST(FdOutStream, WriteToAFullPipeTimesOut) {
  Pipe p;
  Pipe::nonBlocking(p.w);
  rdr::FdOutStream out(p.w, 200);
  std::vector<char> block(256 * 1024, 'f');
  out.writeBytes(block.data(), static_cast<int>(block.size()));
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_THROW(out.flush(), plat::TimedOut);
  auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_GE(waited, std::chrono::milliseconds(190));
  EXPECT_LT(waited, std::chrono::seconds(10));
  // The stream stays usable: once the reader drains, the rest goes out.
  out.setTimeout(-1);
  std::string got;
  std::thread reader([&] { got = drain(p.r, block.size()); });
  out.flush();
  reader.join();
  EXPECT_EQ(got, std::string(block.begin(), block.end()));
}

// A pipe nobody reads: the buffer doubles up to "MaxOutBufferSize", then the
// writer waits and, with a time-out, reports that it could not go on.
TEST(FdOutStream, BufferGrowsToTheLimitThenTheWriterTimesOut) {
  plat::ParameterSet& global = plat::ParameterSet::global();
  ASSERT_TRUE(global.setParam("MaxOutBufferSize", "65536", 50));
  Pipe p;
  Pipe::nonBlocking(p.w);
  rdr::FdOutStream out(p.w, 50);
  std::vector<char> block(1000, 'q');
  std::int64_t written = 0;
  try {
    for (;;) {
      out.writeBytes(block.data(), static_cast<int>(block.size()));
      written += block.size();
    }
  } catch (plat::TimedOut&) {
  }
  global.find("MaxOutBufferSize")->unsetParam(50);
  EXPECT_EQ(out.getBufSize(), 65536);
  int pipeSize = fcntl(p.w, F_GETPIPE_SZ);
  EXPECT_GE(written, 65536 - 1000 + pipeSize - 1000);
  EXPECT_LE(written, 65536 + pipeSize);
  out.setTimeout(0); // the destructor's final write-out must not wait
}

TEST(FdOutStream, UnlimitedWaitSurvivesSignalsUntilTheReaderDrains) {
  Pipe p;
  Pipe::nonBlocking(p.w);
  InterruptingSignal sig;
  rdr::FdOutStream out(p.w);
  std::vector<char> block(512 * 1024);
  for (size_t i = 0; i < block.size(); i++)
    block[i] = char(i % 251);
  pthread_t writer = pthread_self();
  std::string got;
  std::thread reader([&] {
    for (int i = 0; i < 20; i++) {
      pthread_kill(writer, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    got = drain(p.r, block.size());
  });
  out.writeBytes(block.data(), static_cast<int>(block.size()));
  out.flush();
  reader.join();
  EXPECT_EQ(got, std::string(block.begin(), block.end()));
  EXPECT_GT(InterruptingSignal::count.load(), 0);
}

TEST(FdOutStream, DestructorWritesOutAndClosesWhenTold) {
  Pipe p;
  {
    rdr::FdOutStream out(p.w, -1, 0, true);
    out.writeBytes("bye", 3);
  }
  p.w = -1;
  EXPECT_EQ(drain(p.r, 100), "bye") << "written out, then end of file";
}

TEST(FdOutStream, BrokenPipeIsASystemError) {
  Pipe p;
  signal(SIGPIPE, SIG_IGN);
  p.closeRead();
  rdr::FdOutStream out(p.w);
  out.writeU8(1);
  try {
    out.flush();
    FAIL();
  } catch (plat::SystemException& e) {
    EXPECT_EQ(e.getErrno(), EPIPE);
    EXPECT_EQ(std::string(e.str()).rfind("write/select", 0), 0u);
  }
}

} // namespace
