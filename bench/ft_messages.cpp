// File-transfer messages written and read over a socket pair, against the
// same bytes moved without them: plain FileData messages against a raw copy
// in 16 KB writes, and CompressedFileData messages against zlib at level 6
// over the same 16 KB chunks, each sync-flushed, written and inflated on the
// other side. The message writer sizes each message from the free output
// space of the stream ("FileTransferBias" 95 here, so that a message may
// fill the buffer as a raw write does).
#include "FramedConnection.h"
#include "ft/Extension.h"
#include "ft/MsgWriter.h"
#include "plat/ParameterSet.h"
#include "rdr/BufferedInStream.h"
#include "rdr/FdInStream.h"
#include "rdr/FdOutStream.h"
#include "rdr/InStreamV4.h"
#include "rdr/MemInStream.h"
#include "rdr/OutStreamV4.h"
#include "rfb/MsgHandler.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

constexpr int transferBytes = 32 << 20;
constexpr int chunkBytes = 16384;

struct SocketPair {
  int fds[2];
  SocketPair() {
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
      abort();
  }
  ~SocketPair() {
    close(fds[0]);
    close(fds[1]);
  }
};

// Text-like data that deflate shrinks to about a third.
const std::vector<std::uint8_t>& payload() {
  static std::vector<std::uint8_t> data = [] {
    static const char* words[] = {"transfer ", "file ", "share ", "entry ",   "viewer ",
                                  "desktop ",  "zlib ", "frame ", "message ", "stream\n"};
    std::vector<std::uint8_t> d;
    std::uint32_t x = 1;
    while (d.size() < static_cast<size_t>(transferBytes)) {
      x = x * 1103515245 + 12345;
      const char* w = words[(x >> 16) % 10];
      d.insert(d.end(), w, w + std::strlen(w));
      d.push_back(static_cast<std::uint8_t>('0' + (x >> 8) % 10));
    }
    d.resize(transferBytes);
    return d;
  }();
  return data;
}

// Counts the file bytes the reader hands on.
class CountingExtension : public ft::Extension {
public:
  const char* getName() const override { return "FileTransfer"; }
  bool acceptMessage(ft::ConnectionId) override { return true; }
  bool useCompression(ft::ConnectionId) override { return false; }
  void handleFileData(ft::ConnectionId, ft::FileId, const std::uint8_t* bytes, int count) override {
    received += count;
    check += bytes[count - 1];
  }
  long received = 0;
  unsigned check = 0;
};

class FdConnection : public rfb::MsgHandler {
public:
  explicit FdConnection(int fd) : fdOut(fd), framed(&fdOut), writer(&framed, &writesLeft) {}
  rfb::MsgWriter* getWriter() override { return &writer; }
  int writesLeft = -1;
  rdr::FdOutStream fdOut;
  rdr::OutStreamV4 framed;
  testing_support::FramedMsgWriter writer;
};

void readMessages(int fd, long expected) {
  rdr::FdInStream fdIn(fd);
  rdr::InStreamV4 in(&fdIn);
  CountingExtension ext;
  FdConnection unused(-1);
  ext.addConnection(&unused);
  while (ext.received < expected) {
    in.startMsg();
    while (!ext.readMsg(&in, &unused)) {
    }
    in.skipToEndOfMsg();
    in.endMsg();
  }
  benchmark::DoNotOptimize(ext.check);
  ext.removeConnection(&unused);
}

void BM_FtMessages(benchmark::State& state) {
  bool compress = state.range(0) != 0;
  plat::ParameterSet::global().setParam("FileTransferBias", "95", 0);
  const std::vector<std::uint8_t>& data = payload();
  for (auto _ : state) {
    SocketPair sp;
    std::thread reader(readMessages, sp.fds[1], static_cast<long>(data.size()));
    {
      CountingExtension ext;
      FdConnection conn(sp.fds[0]);
      ft::MsgWriter writer(&conn, &ext);
      rdr::MemInStream file(data.data(), static_cast<int>(data.size()));
      long sent = 0;
      while (sent < static_cast<long>(data.size()))
        sent += writer.writeFileData(ft::FileId{1, 1}, &file, 65535, compress);
      conn.fdOut.flush();
    }
    reader.join();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_FtMessages)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"compressed"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_RawCopy(benchmark::State& state) {
  const std::vector<std::uint8_t>& data = payload();
  for (auto _ : state) {
    SocketPair sp;
    std::thread reader([&] {
      // Reads of the size the descriptor input stream reads.
      std::vector<std::uint8_t> buf(rdr::BufferedInStream::defaultBufSize);
      long got = 0;
      unsigned check = 0;
      while (got < static_cast<long>(data.size())) {
        ssize_t n = read(sp.fds[1], buf.data(), buf.size());
        if (n <= 0)
          abort();
        got += n;
        check += buf[n - 1];
      }
      benchmark::DoNotOptimize(check);
    });
    for (size_t off = 0; off < data.size();) {
      ssize_t n =
          write(sp.fds[0], data.data() + off, std::min<size_t>(chunkBytes, data.size() - off));
      if (n <= 0)
        abort();
      off += static_cast<size_t>(n);
    }
    reader.join();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_RawCopy)->UseRealTime()->Unit(benchmark::kMillisecond);

void writeAll(int fd, const std::uint8_t* p, size_t n) {
  while (n > 0) {
    ssize_t k = write(fd, p, n);
    if (k <= 0)
      abort();
    p += k;
    n -= static_cast<size_t>(k);
  }
}

// zlib alone: 16 KB chunks deflated at level 6 with a sync flush each, sent
// with a 4-byte length, inflated on the other side in 4 KB pieces.
void BM_ZlibLevel6(benchmark::State& state) {
  const std::vector<std::uint8_t>& data = payload();
  for (auto _ : state) {
    SocketPair sp;
    std::thread reader([&] {
      z_stream zs = z_stream();
      inflateInit(&zs);
      std::vector<std::uint8_t> in(70000), out(4096);
      long got = 0;
      unsigned check = 0;
      while (got < static_cast<long>(data.size())) {
        std::uint32_t len;
        if (read(sp.fds[1], &len, 4) != 4)
          abort();
        for (std::uint32_t have = 0; have < len;) {
          ssize_t n = read(sp.fds[1], in.data() + have, len - have);
          if (n <= 0)
            abort();
          have += static_cast<std::uint32_t>(n);
        }
        zs.next_in = in.data();
        zs.avail_in = len;
        for (;;) {
          zs.next_out = out.data();
          zs.avail_out = static_cast<uInt>(out.size());
          int r = inflate(&zs, Z_SYNC_FLUSH);
          int produced = static_cast<int>(out.size() - zs.avail_out);
          if (produced > 0) {
            got += produced;
            check += out[produced - 1];
          }
          if (r != Z_OK)
            break;
        }
      }
      inflateEnd(&zs);
      benchmark::DoNotOptimize(check);
    });
    z_stream zs = z_stream();
    deflateInit(&zs, 6);
    std::vector<std::uint8_t> out(chunkBytes + 1024);
    for (size_t off = 0; off < data.size(); off += chunkBytes) {
      zs.next_in = const_cast<std::uint8_t*>(data.data() + off);
      zs.avail_in = static_cast<uInt>(std::min<size_t>(chunkBytes, data.size() - off));
      zs.next_out = out.data() + 4;
      zs.avail_out = static_cast<uInt>(out.size() - 4);
      deflate(&zs, Z_SYNC_FLUSH);
      std::uint32_t len = static_cast<std::uint32_t>(out.size() - 4 - zs.avail_out);
      std::memcpy(out.data(), &len, 4);
      writeAll(sp.fds[0], out.data(), len + 4);
    }
    deflateEnd(&zs);
    reader.join();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(BM_ZlibLevel6)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
