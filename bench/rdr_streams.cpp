// Byte streams against plain copies of the same bytes: a framed transfer over
// a socket pair against read()/write() (the default and the bulk framed
// connection, each against a plain copy), and typed big-endian reads and writes
// over memory against memcpy().
#include "rdr/FdInStream.h"
#include "rdr/FdOutStream.h"
#include "rdr/InStreamV4.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"
#include "rdr/OutStreamV4.h"

#include <benchmark/benchmark.h>

#include <algorithm>
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

// The framed copy: messages of msgBytes written (one writeBytes() each)
// through a version-4 framed writer over a descriptor stream with an output
// buffer of outBuf bytes (0: the default), read back through the framed
// reader over a descriptor stream with an input buffer of inBuf bytes.
void framedTransfer(benchmark::State& state, int msgBytes, int outBuf, int inBuf, bool bulk) {
  std::vector<char> block(msgBytes, 'x');
  for (auto _ : state) {
    SocketPair sp;
    std::thread writer([&] {
      rdr::FdOutStream fdOut(sp.fds[0], -1, outBuf);
      rdr::OutStreamV4 out(&fdOut, bulk);
      for (std::int64_t sent = 0; sent < transferBytes; sent += msgBytes) {
        out.startMsg();
        out.writeBytes(block.data(), msgBytes);
        out.endMsg(false);
      }
      fdOut.flush();
    });
    rdr::FdInStream fdIn(sp.fds[1], -1, inBuf);
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

// The plain copy: write() of writeSize bytes at a time, read() into a buffer
// of readSize bytes.
void plainCopy(benchmark::State& state, int writeSize, int readSize) {
  std::vector<char> block(writeSize, 'x');
  for (auto _ : state) {
    SocketPair sp;
    std::thread writer([&] {
      for (std::int64_t sent = 0; sent < transferBytes;) {
        ssize_t n =
            write(sp.fds[0], block.data(),
                  static_cast<size_t>(std::min<std::int64_t>(writeSize, transferBytes - sent)));
        if (n > 0)
          sent += n;
      }
    });
    std::vector<char> buf(readSize);
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

// The default framed connection: 16 KiB buffers, frames cut where the
// buffer ends.
void BM_FramedTransfer(benchmark::State& state) {
  framedTransfer(state, messageBytes, 0, 0, false);
}
BENCHMARK(BM_FramedTransfer)->Unit(benchmark::kMillisecond)->UseRealTime();

// A bulk framed connection (file transfer, chat): blocks of bulkBufferSize
// bytes, each a message, whose whole frames go out in one gathering write
// straight from the block.
void BM_FramedTransferBulk(benchmark::State& state) {
  framedTransfer(state, rdr::FramedOutStream::bulkBufferSize, rdr::FramedOutStream::bulkBufferSize,
                 rdr::FramedOutStream::bulkBufferSize, true);
}
BENCHMARK(BM_FramedTransferBulk)->Unit(benchmark::kMillisecond)->UseRealTime();

// The reference for the bulk framed copy: write() of the same blocks, read()
// into a buffer of the same size.
void BM_PlainSocketCopyBulk(benchmark::State& state) {
  plainCopy(state, rdr::FramedOutStream::bulkBufferSize, rdr::FramedOutStream::bulkBufferSize);
}
BENCHMARK(BM_PlainSocketCopyBulk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainSocketCopy(benchmark::State& state) {
  plainCopy(state, messageBytes, 16800);
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
