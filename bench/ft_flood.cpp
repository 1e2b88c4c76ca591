// What a hostile viewer can make the file-transfer side hold: over a socket
// pair served by the real socket server and select loop, the peer sends
// 100,000 requests for a shared file granting no bytes (each would keep the
// file open), or pushes a share listing of 2,000,000 entries. The counters
// are the process's open descriptors and resident memory, before and at the
// highest point while the flood is served (they should stay flat), and the
// reference is the same process before the flood.
#include "ft/UploadManager.h"
#include "ft/proxy/Extension.h"
#include "ft/proxy/SocketServer.h"
#include "ft/unix/FileProxyUnixFile.h"
#include "ft/unix/UnixFileTransferManager.h"
#include "net/SelectSocketManager.h"
#include "net/SocketListener.h"
#include "net/io/FdIo.h"
#include "net/io/FdSelectManager.h"
#include "plat/LogWriter.h"
#include "plat/TimerManager.h"
#include "rdr/FramedOutStream.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

int descriptors() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d))
      n++;
    closedir(d);
  }
  return n - 3; // ".", ".." and the directory's own descriptor
}

double residentMiB() {
  long pages = 0, resident = 0;
  if (FILE* f = fopen("/proc/self/statm", "r")) {
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2)
      resident = 0;
    fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

struct Wire {
  std::vector<std::uint8_t> b;
  Wire& u8(std::uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Wire& u16(std::uint16_t v) { return u8(v >> 8).u8(v & 0xFF); }
  Wire& u32(std::uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
  Wire& u64(std::uint64_t v) { return u32(v >> 32).u32(v & 0xFFFFFFFF); }
  Wire& str(const std::string& s) {
    u32(static_cast<std::uint32_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
};

void frame(std::vector<std::uint8_t>& out, const Wire& body) {
  out.push_back(static_cast<std::uint8_t>(0x80 | (body.b.size() >> 8)));
  out.push_back(static_cast<std::uint8_t>(body.b.size()));
  out.insert(out.end(), body.b.begin(), body.b.end());
}

std::vector<std::uint8_t> fileRequests(std::uint32_t shareId, int n) {
  std::vector<std::uint8_t> out;
  for (int i = 0; i < n; i++)
    frame(out, Wire().u32(4).str("shared").u32(shareId).u32(static_cast<std::uint32_t>(i)).u64(0)
                   .u64(0).u64(100).u8(0));
  return out;
}

std::vector<std::uint8_t> listing(int n) {
  std::vector<std::uint8_t> out;
  frame(out, Wire().u32(1).u32(7).u8(0).u32(1));
  const int perMessage = 500;
  for (int first = 0; first < n; first += perMessage) {
    int count = std::min(perMessage, n - first);
    Wire w;
    w.u32(3).u32(7).u32(static_cast<std::uint32_t>(count));
    for (int i = first; i < first + count; i++)
      w.str("entry" + std::to_string(i)).u64(10).u64(1).u64(2).u64(3).u32(0).u32(0);
    frame(out, w);
  }
  frame(out, Wire().u32(3).u32(7).u32(0));
  return out;
}

void flood(benchmark::State& state, bool requests) {
  plat::LogWriter::setLogParams("*::-1");
  char path[] = "/tmp/zavflood.XXXXXX";
  int file = mkstemp(path);
  if (file < 0 || write(file, "shared contents", 15) != 15)
    abort();
  close(file);
  for (auto _ : state) {
    plat::TimerManager timers;
    ft::proxy::Extension ext;
    ft::UnixFileTransferManager manager(&ext);
    ft::proxy::SocketServer server(&ext);
    auto sockets = std::make_unique<net::SelectSocketManager>();
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
      abort();
    io::FdIo* io = new io::FdIo(fds[0], true, false, 65536, rdr::FramedOutStream::bulkBufferSize);
    net::Socket* sock = net::wrapIo(io);
    sockets->addSocket(sock, &server, false);
    ft::UploadManager* upload = manager.getUploadManager();
    upload->newShare(1, 0);
    upload->addEntry(new ft::FileProxyUnixFile(path, "shared"));
    upload->setComplete();

    std::vector<std::uint8_t> bytes = requests ? fileRequests(1, 100000) : listing(2000000);
    int fdsBefore = descriptors();
    double rssBefore = residentMiB();
    int fdsMost = fdsBefore; // written by the sampler only, read after it ends
    double rssMost = rssBefore;
    std::atomic<bool> sent(false);
    int peer = fds[1];
    std::thread writer([&] {
      for (size_t at = 0; at < bytes.size();) {
        ssize_t n = write(peer, bytes.data() + at, std::min<size_t>(65536, bytes.size() - at));
        if (n <= 0)
          break;
        at += static_cast<size_t>(n);
      }
      sent = true;
    });
    // Sampled from a thread of its own: one readable event may serve the
    // whole flood.
    std::atomic<bool> finished(false);
    std::thread sampler([&] {
      while (!finished) {
        fdsMost = std::max(fdsMost, descriptors());
        rssMost = std::max(rssMost, residentMiB());
        usleep(500);
      }
    });
    std::thread reader([&] {
      char buf[65536];
      while (read(peer, buf, sizeof(buf)) > 0) {
      }
    });
    int quiet = 0;
    while (quiet < 50) {
      sockets->getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 10);
      quiet = sent ? quiet + 1 : 0;
    }
    finished = true;
    sampler.join();
    state.counters["fds_end"] = descriptors();
    writer.join();
    sockets.reset();
    shutdown(peer, SHUT_RDWR);
    reader.join();
    close(peer);
    state.counters["fds_before"] = fdsBefore;
    state.counters["fds_most"] = fdsMost;
    state.counters["rss_MiB_before"] = rssBefore;
    state.counters["rss_MiB_most"] = rssMost;
  }
  unlink(path);
}

void BM_FileRequestFlood(benchmark::State& state) {
  flood(state, true);
}
void BM_ListingFlood(benchmark::State& state) {
  flood(state, false);
}

} // namespace

BENCHMARK(BM_FileRequestFlood)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListingFlood)->Iterations(1)->Unit(benchmark::kMillisecond);
