// Echo through the select socket manager against a plain blocking echo on
// the same kind of socket pair: throughput with 64 KiB blocks and round-trip
// latency of one byte.
#include "net/FdSocket.h"
#include "net/SelectSocketManager.h"
#include "net/SocketServer.h"
#include "net/io/FdIo.h"
#include "net/io/FdSelectManager.h"
#include "plat/TimerManager.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class Echo : public net::SocketServer {
public:
  void addSocket(net::Socket*, bool) override {}
  void removeSocket(net::Socket*) override { gone = true; }
  void socketReadable(net::Socket* s) override {
    io::FdIo* io = s->getIo()->asFdIo();
    rdr::FdInStream* in = io->getInStream();
    rdr::FdOutStream* out = io->getOutStream();
    in->checkpoint();
    while (in->avail() > 0 || in->overrun(false, 1)) {
      out->writeBytes(in->getptr(), in->avail());
      in->setPtr(in->getend());
      in->checkpoint();
    }
    out->flush();
  }
  bool gone = false;
};

// The client side: sends total bytes in blocks and reads them all back. With
// one-byte blocks only one byte is in flight, so each is a full round trip.
void client(int fd, std::int64_t total, int block) {
  std::vector<char> out(block, 'e'), in(1 << 16);
  std::int64_t sent = 0, got = 0;
  const std::int64_t inFlight = block == 1 ? 1 : 4 * block;
  while (got < total) {
    if (sent < total && sent - got < inFlight) {
      ssize_t n = write(fd, out.data(), std::min<std::int64_t>(block, total - sent));
      if (n > 0)
        sent += n;
    }
    ssize_t n = read(fd, in.data(), std::min<std::int64_t>(in.size(), sent - got));
    if (n > 0)
      got += n;
  }
  shutdown(fd, SHUT_WR);
}

void runSelect(std::int64_t total, int block) {
  int sv[2];
  socketpair(AF_UNIX, SOCK_STREAM, 0, sv);
  plat::TimerManager timers;
  Echo echo;
  {
    net::SelectSocketManager mgr;
    mgr.addSocket(new net::FdSocket(new io::FdIo(sv[0], true)), &echo, false);
    std::thread peer(client, sv[1], total, block);
    while (!echo.gone) {
      timers.processTimers();
      mgr.getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 100);
    }
    peer.join();
  }
  close(sv[1]);
}

void runBlocking(std::int64_t total, int block) {
  int sv[2];
  socketpair(AF_UNIX, SOCK_STREAM, 0, sv);
  std::thread server([&] {
    std::vector<char> buf(16800);
    for (;;) {
      ssize_t n = read(sv[0], buf.data(), buf.size());
      if (n <= 0)
        break;
      for (ssize_t off = 0; off < n;) {
        ssize_t k = write(sv[0], buf.data() + off, n - off);
        if (k <= 0)
          return;
        off += k;
      }
    }
  });
  client(sv[1], total, block);
  server.join();
  close(sv[0]);
  close(sv[1]);
}

constexpr std::int64_t throughputBytes = 64 << 20;

void BM_SelectEchoThroughput(benchmark::State& state) {
  for (auto _ : state)
    runSelect(throughputBytes, 1 << 16);
  state.SetBytesProcessed(state.iterations() * throughputBytes);
}
BENCHMARK(BM_SelectEchoThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BlockingEchoThroughput(benchmark::State& state) {
  for (auto _ : state)
    runBlocking(throughputBytes, 1 << 16);
  state.SetBytesProcessed(state.iterations() * throughputBytes);
}
BENCHMARK(BM_BlockingEchoThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int roundTrips = 20000;

void BM_SelectEchoRoundTrip(benchmark::State& state) {
  for (auto _ : state)
    runSelect(roundTrips, 1);
  state.SetItemsProcessed(state.iterations() * roundTrips);
}
BENCHMARK(BM_SelectEchoRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BlockingEchoRoundTrip(benchmark::State& state) {
  for (auto _ : state)
    runBlocking(roundTrips, 1);
  state.SetItemsProcessed(state.iterations() * roundTrips);
}
BENCHMARK(BM_BlockingEchoRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
