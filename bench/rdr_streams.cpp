// Byte streams against plain copies of the same bytes: a framed transfer over
// a socket pair against read()/write(), and typed big-endian reads and writes
// over memory against memcpy().
#include "rdr/FdInStream.h"
#include "rdr/FdOutStream.h"
#include "rdr/InStreamV4.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"
#include "rdr/OutStreamV4.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int64_t transferBytes = 100 << 20;
constexpr int messageBytes = 64 << 10;

struct SocketPair {
  int fds[2];
  SocketPair() { socketpair(AF_UNIX, SOCK_STREAM, 0, fds); }
  ~SocketPair() {
    close(fds[0]);
    close(fds[1]);
  }
};

void BM_FramedTransfer(benchmark::State& state) {
  std::vector<char> block(messageBytes, 'x');
  for (auto _ : state) {
    SocketPair sp;
    std::thread writer([&] {
      rdr::FdOutStream fdOut(sp.fds[0]);
      rdr::OutStreamV4 out(&fdOut);
      for (std::int64_t sent = 0; sent < transferBytes; sent += messageBytes) {
        out.startMsg();
        out.writeBytes(block.data(), messageBytes);
        out.endMsg(false);
      }
      fdOut.flush();
    });
    rdr::FdInStream fdIn(sp.fds[1]);
    rdr::InStreamV4 in(&fdIn);
    std::int64_t got = 0;
    while (got < transferBytes) {
      in.startMsg();
      while (!in.atEndOfMsg()) {
        if (in.avail() == 0)
          in.overrun(true, 1);
        got += in.avail();
        benchmark::DoNotOptimize(in.getptr());
        in.setPtr(in.getend());
        in.checkpoint();
      }
      in.endMsg();
    }
    writer.join();
  }
  state.SetBytesProcessed(state.iterations() * transferBytes);
}
BENCHMARK(BM_FramedTransfer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainSocketCopy(benchmark::State& state) {
  std::vector<char> block(messageBytes, 'x');
  for (auto _ : state) {
    SocketPair sp;
    std::thread writer([&] {
      for (std::int64_t sent = 0; sent < transferBytes;) {
        ssize_t n = write(sp.fds[0], block.data(), block.size());
        if (n > 0)
          sent += n;
      }
    });
    std::vector<char> buf(16800);
    std::int64_t got = 0;
    while (got < transferBytes) {
      ssize_t n = read(sp.fds[1], buf.data(), buf.size());
      if (n > 0)
        got += n;
      benchmark::DoNotOptimize(buf.data());
    }
    writer.join();
  }
  state.SetBytesProcessed(state.iterations() * transferBytes);
}
BENCHMARK(BM_PlainSocketCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int memBytes = 1 << 20;

void BM_TypedReadU32(benchmark::State& state) {
  std::vector<std::uint8_t> data(memBytes, 1);
  for (auto _ : state) {
    rdr::MemInStream in(data.data(), memBytes);
    std::uint32_t sum = 0;
    for (int i = 0; i < memBytes / 4; i++)
      sum += in.readU32();
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * memBytes);
}
BENCHMARK(BM_TypedReadU32);

void BM_TypedWriteU32(benchmark::State& state) {
  for (auto _ : state) {
    rdr::MemOutStream out(memBytes);
    for (int i = 0; i < memBytes / 4; i++)
      out.writeU32(static_cast<std::uint32_t>(i));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * memBytes);
}
BENCHMARK(BM_TypedWriteU32);

void BM_MemcpyU32(benchmark::State& state) {
  std::vector<std::uint8_t> src(memBytes, 1), dst(memBytes);
  for (auto _ : state) {
    for (int i = 0; i < memBytes; i += 4)
      std::memcpy(&dst[i], &src[i], 4);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * memBytes);
}
BENCHMARK(BM_MemcpyU32);

void BM_MemcpyBlock(benchmark::State& state) {
  std::vector<std::uint8_t> src(memBytes, 1), dst(memBytes);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), memBytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * memBytes);
}
BENCHMARK(BM_MemcpyBlock);

} // namespace
