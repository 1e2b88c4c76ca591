// End-to-end download throughput of the loopback file-transfer stream: the
// stand-in server (tests/xzav) pushes one file of ZAV_BENCH_MB megabytes
// (default 1024) as a share, plain or compressed, and the program writes it
// into a fetch folder. References on the same file: a raw copy over a
// loopback TCP socket into a file, and `gzip -6` of the file. The peak
// resident size is reported so that growth with the file size shows.
// ZAV_BENCH_FTBUF sets "FileTransferBufferSize" (the receive window) for a
// run; BM_DownloadPlainCppSource replaces the stand-in by a viewer written in
// C++, so that the program's own side is measured.
#include "ShareFetcher.h"
#include "TempDir.h"
#include "XzavDouble.h"
#include "ft/proxy/SocketServer.h"
#include "ft/unix/UnixFileTransferManager.h"
#include "net/SelectSocketManager.h"
#include "net/SocketListener.h"
#include "net/io/FdSelectManager.h"
#include "net/io/TcpIo.h"
#include "plat/ParameterSet.h"
#include "plat/TimerManager.h"
#include "rdr/FramedOutStream.h"
#include "zavconfig/XServerConnectionFT.h"
#include "zavconfig/zavext.h"

#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// The viewer side written in C++ on a loopback TCP connection, so that the
// program's side is measured without the stand-in's own costs: it offers
// the file as a share, lists it and sends it within the granted limits.
class CppSource {
public:
  CppSource(int fd_, const std::string& path_, std::uint64_t size_)
      : fd(fd_), path(path_), size(size_) {}

  void run() {
    sendMsg(Bytes().u32(1).u32(1).u8(0).u32(1));
    int file = open(path.c_str(), O_RDONLY);
    std::vector<std::uint8_t> buf(16 + 32752);
    std::uint64_t sent = 0;
    bool eofSent = false;
    while (!eofSent) {
      bool wait = !requested || (limit <= sent && sent < size);
      readMessages(wait);
      if (!requested)
        continue;
      while (sent < size && sent < limit) {
        int n = static_cast<int>(std::min<std::uint64_t>({32752, limit - sent, size - sent}));
        ssize_t got =
            pread(file, buf.data() + 16, static_cast<size_t>(n), static_cast<off_t>(sent));
        if (got != n)
          abort();
        put16(buf.data(), static_cast<std::uint16_t>(0x8000 | (14 + n)));
        put32(buf.data() + 2, 6);
        put32(buf.data() + 6, 1);
        put32(buf.data() + 10, 0);
        put16(buf.data() + 14, static_cast<std::uint16_t>(n));
        writeAll(buf.data(), 16 + static_cast<size_t>(n));
        sent += static_cast<std::uint64_t>(n);
        readMessages(false);
      }
      if (sent == size) {
        sendMsg(Bytes().u32(6).u32(1).u32(0).u16(0));
        eofSent = true;
      }
    }
    close(file);
    // Wait for the share release or the end of the stream.
    while (!released && readMessages(true)) {
    }
  }

private:
  struct Bytes {
    std::vector<std::uint8_t> b;
    Bytes& u8(std::uint8_t v) {
      b.push_back(v);
      return *this;
    }
    Bytes& u16(std::uint16_t v) { return u8(static_cast<std::uint8_t>(v >> 8)).u8(v & 0xFF); }
    Bytes& u32(std::uint32_t v) { return u16(static_cast<std::uint16_t>(v >> 16)).u16(v & 0xFFFF); }
    Bytes& u64(std::uint64_t v) {
      return u32(static_cast<std::uint32_t>(v >> 32)).u32(v & 0xFFFFFFFF);
    }
    Bytes& str(const std::string& t) {
      u32(static_cast<std::uint32_t>(t.size()));
      b.insert(b.end(), t.begin(), t.end());
      return *this;
    }
  };
  static void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
  }
  static void put32(std::uint8_t* p, std::uint32_t v) {
    put16(p, static_cast<std::uint16_t>(v >> 16));
    put16(p + 2, static_cast<std::uint16_t>(v));
  }
  static std::uint32_t get32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
  }
  static std::uint64_t get64(const std::uint8_t* p) {
    return (std::uint64_t(get32(p)) << 32) | get32(p + 4);
  }
  void writeAll(const std::uint8_t* p, size_t n) {
    while (n > 0) {
      ssize_t w = write(fd, p, n);
      if (w <= 0)
        abort();
      p += w;
      n -= static_cast<size_t>(w);
    }
  }
  void sendMsg(const Bytes& body) {
    std::vector<std::uint8_t> f(2);
    put16(f.data(), static_cast<std::uint16_t>(0x8000 | body.b.size()));
    f.insert(f.end(), body.b.begin(), body.b.end());
    writeAll(f.data(), f.size());
  }
  // Reads what is there (waiting for something when wait); false at the end.
  bool readMessages(bool wait) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, wait ? -1 : 0) <= 0)
      return true;
    std::uint8_t tmp[65536];
    ssize_t n = read(fd, tmp, sizeof(tmp));
    if (n <= 0)
      return false;
    in.insert(in.end(), tmp, tmp + n);
    size_t pos = 0;
    while (in.size() - pos >= 2) {
      size_t len = ((in[pos] & 0x7F) << 8) | in[pos + 1];
      if (in.size() - pos < 2 + len)
        break;
      handle(in.data() + pos + 2, len); // the program sends one frame a message
      pos += 2 + len;
    }
    in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(pos));
    return true;
  }
  void handle(const std::uint8_t* m, size_t) {
    switch (get32(m)) {
    case 2: { // share request: the listing, then its end
      Bytes entry;
      entry.u32(3).u32(1).u32(1).str("data.bin").u64(size).u64(1).u64(1).u64(1).u32(0).u32(0);
      sendMsg(entry);
      sendMsg(Bytes().u32(3).u32(1).u32(0));
      break;
    }
    case 4: { // file request: name, ids, window
      std::uint32_t nameLen = get32(m + 4);
      limit = get64(m + 8 + nameLen + 8);
      requested = true;
      break;
    }
    case 5:
      limit = std::max(limit, get64(m + 12));
      break;
    case 9:
      released = true;
      break;
    }
  }

  int fd;
  std::string path;
  std::uint64_t size;
  std::uint64_t limit = 0;
  bool requested = false;
  bool released = false;
  std::vector<std::uint8_t> in;
};

void BM_DownloadPlainCppSource(benchmark::State& state) {
  Setup& s = setup();
  for (auto _ : state) {
    state.PauseTiming();
    testing_support::TempDir fetch;
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    socklen_t len = sizeof(a);
    getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
    listen(listener, 1);
    plat::TimerManager timers;
    ft::proxy::Extension ext;
    ft::UnixFileTransferManager manager(&ext);
    ft::proxy::SocketServer server(&ext);
    std::unique_ptr<net::SelectSocketManager> sockets(new net::SelectSocketManager);
    testing_support::ShareFetcher fetcher(&ext, fetch.path());
    state.ResumeTiming();
    std::thread source([&] {
      int c = socket(AF_INET, SOCK_STREAM, 0);
      connect(c, reinterpret_cast<sockaddr*>(&a), sizeof(a));
      int one = 1;
      setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
      CppSource(c, s.file, s.size).run();
      close(c);
    });
    int c = accept(listener, nullptr, nullptr);
    io::TcpIo* io = new io::TcpIo(c, true, false, 64 * 1024, rdr::FramedOutStream::bulkBufferSize);
    sockets->addSocket(net::wrapIo(io), &server, false);
    while (!fetcher.done()) {
      timers.processTimers();
      sockets->getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 100);
    }
    fetcher.ext->removeShareCallback(&fetcher);
    while (fetcher.share) {
      fetcher.share->unref();
      fetcher.share = nullptr;
    }
    for (int i = 0; i < 5; i++)
      sockets->getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 10);
    sockets.reset();
    source.join();
    close(listener);
    state.PauseTiming();
    if (!fetcher.failures.empty() || fetcher.completed != 1)
      state.SkipWithError("download failed");
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size));
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
BENCHMARK(BM_DownloadPlainCppSource)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DownloadPlain)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Gzip6)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DownloadCompressed)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace
