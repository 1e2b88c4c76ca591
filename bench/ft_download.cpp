// End-to-end download throughput of the loopback file-transfer stream: the
// stand-in server (tests/xzav) pushes one file of ZAV_BENCH_MB megabytes
// (default 1024) as a share, plain or compressed, and the program writes it
// into a fetch folder. References on the same file: a raw copy over a
// loopback TCP socket into a file, and `gzip -6` of the file. The peak
// resident size is reported so that growth with the file size shows.
#include "ShareFetcher.h"
#include "TempDir.h"
#include "XzavDouble.h"
#include "net/SelectSocketManager.h"
#include "net/io/FdSelectManager.h"
#include "plat/ParameterSet.h"
#include "plat/TimerManager.h"
#include "zavconfig/XServerConnectionFT.h"
#include "zavconfig/zavext.h"

#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

struct Setup {
  testing_support::TempDir dir;
  std::unique_ptr<testing_support::XzavDouble> server;
  Display* dpy = nullptr;
  std::string file;
  std::uint64_t size = 0;

  Setup() {
    const char* mb = getenv("ZAV_BENCH_MB");
    size = static_cast<std::uint64_t>(mb ? atoi(mb) : 1024) << 20;
    if (const char* buf = getenv("ZAV_BENCH_FTBUF"))
      plat::ParameterSet::global().setParam("FileTransferBufferSize", buf, 0);
    file = dir.file("data.bin");
    // Text-like data that deflate shrinks to about a third, as documents do.
    FILE* f = fopen(file.c_str(), "wb");
    const char* words[] = {"remote ", "desktop ", "server ", "viewer ",  "file ",   "transfer ",
                           "stream ", "limit ",   "share ",  "folder\n", "0x1f2e ", "data "};
    std::string block;
    unsigned x = 12345;
    while (block.size() < (1u << 20)) {
      x = x * 1103515245u + 12345u;
      block += words[(x >> 16) % 12];
      if ((x >> 8) % 7 == 0)
        block += std::to_string(x % 100000);
    }
    block.resize(1u << 20);
    for (std::uint64_t done = 0; done < size; done += block.size()) {
      x = x * 1103515245u + 12345u;
      block[x % block.size()] = static_cast<char>(x >> 24);
      fwrite(block.data(), 1, block.size(), f);
    }
    fclose(f);
    server.reset(new testing_support::XzavDouble());
    dpy = XOpenDisplay(server->display().c_str());
    int ev = 0, err = 0;
    if (!dpy || !zavext::queryExtension(dpy, &ev, &err))
      abort();
  }
};

Setup& setup() {
  static Setup s;
  return s;
}

long peakKb() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

void download(benchmark::State& state, bool compress) {
  Setup& s = setup();
  for (auto _ : state) {
    state.PauseTiming();
    testing_support::TempDir fetch;
    s.server->control(R"({"cmd": "stream", "kind": "ft", "set": {"push": ")" + s.file +
                      R"(", "compress": )" + (compress ? "true" : "false") + "}}");
    plat::TimerManager timers;
    zavconfig::XServerConnectionFT connection;
    std::unique_ptr<net::SelectSocketManager> sockets(new net::SelectSocketManager);
    testing_support::ShareFetcher fetcher(connection.getExtension(), fetch.path());
    state.ResumeTiming();
    connection.connect(s.dpy, sockets.get());
    while (!fetcher.done()) {
      timers.processTimers();
      sockets->getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 100);
    }
    state.PauseTiming();
    if (!fetcher.failures.empty() || fetcher.completed != 1)
      state.SkipWithError("download failed");
    sockets.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size));
  state.counters["peak_rss_MB"] = static_cast<double>(peakKb()) / 1024;
}

void BM_DownloadPlain(benchmark::State& state) {
  download(state, false);
}
void BM_DownloadCompressed(benchmark::State& state) {
  download(state, true);
}

// The file read and sent over loopback TCP by one thread, received and
// written to a file by another.
void BM_RawSocketCopy(benchmark::State& state) {
  Setup& s = setup();
  for (auto _ : state) {
    state.PauseTiming();
    testing_support::TempDir out;
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    socklen_t len = sizeof(a);
    getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    listen(listener, 1);
    state.ResumeTiming();
    std::thread sender([&] {
      int c = socket(AF_INET, SOCK_STREAM, 0);
      connect(c, reinterpret_cast<sockaddr*>(&a), sizeof(a));
      int in = open(s.file.c_str(), O_RDONLY);
      std::unique_ptr<char[]> buf(new char[1 << 16]);
      ssize_t n;
      while ((n = read(in, buf.get(), 1 << 16)) > 0)
        for (ssize_t off = 0; off < n;)
          off += write(c, buf.get() + off, static_cast<size_t>(n - off));
      close(in);
      close(c);
    });
    int c = accept(listener, nullptr, nullptr);
    int fd = open(out.file("copy").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    std::unique_ptr<char[]> buf(new char[1 << 16]);
    ssize_t n;
    while ((n = read(c, buf.get(), 1 << 16)) > 0)
      if (write(fd, buf.get(), static_cast<size_t>(n)) != n)
        state.SkipWithError("write failed");
    sender.join();
    close(fd);
    close(c);
    close(listener);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size));
}

void BM_Gzip6(benchmark::State& state) {
  Setup& s = setup();
  std::string cmd = "gzip -6 -c '" + s.file + "' > /dev/null";
  for (auto _ : state)
    if (system(cmd.c_str()) != 0)
      state.SkipWithError("gzip failed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size));
}

BENCHMARK(BM_RawSocketCopy)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DownloadPlain)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Gzip6)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DownloadCompressed)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace
