// The cookie handshake of the loopback stream from the X server, over real
// loopback connections: when asked to connect back, up to four clients
// connect and send what the input says (raw bytes, the right cookie, the
// cookie with a byte changed, part of it and nothing more), some then end
// their side. The connection must be taken exactly when one client began
// with the right cookie, and what that client sent after the cookie must
// reach the stream's reader at once; otherwise the wait must end with its
// error. Nothing may crash or leak a descriptor.
#include "zavconfig/XServerConnection.h"

#include "net/SelectSocketManager.h"
#include "net/Socket.h"
#include "net/io/FdIo.h"
#include "plat/Exception.h"
#include "plat/TimerManager.h"
#include "rdr/Exception.h"
#include "rdr/InStream.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "%s\n", what);
    abort();
  }
}

// The stream's reader: keeps every byte that has come.
class Reader : public net::SocketServer {
public:
  void addSocket(net::Socket*, bool) override {}
  void removeSocket(net::Socket*) override {}
  void socketReadable(net::Socket* sock) override {
    rdr::InStream* in = sock->getIo()->asFdIo()->getInStream();
    try {
      while (in->avail() > 0 || in->overrun(false, 1)) {
        got.push_back(static_cast<char>(in->readU8()));
        in->checkpoint();
      }
    } catch (rdr::BlockException&) {
    } catch (plat::Exception&) {
      ended = true;
    }
  }
  std::string got;
  bool ended = false;
};

struct Client {
  int fd = -1;
  std::string payload; // what follows a right cookie
  bool rightCookie = false;
};

class Loopback : public zavconfig::XServerConnection {
public:
  Loopback(net::SocketServer* inner, const std::uint8_t* data, size_t size)
      : XServerConnection(inner), data_(data), size_(size) {}
  ~Loopback() override {
    for (Client& c : clients)
      if (c.fd >= 0)
        close(c.fd);
  }

  bool request(Display*, int port, std::uint32_t cookie) override {
    const std::uint8_t right[4] = {std::uint8_t(cookie >> 24), std::uint8_t(cookie >> 16),
                                   std::uint8_t(cookie >> 8), std::uint8_t(cookie)};
    size_t pos = 0;
    auto next = [&]() -> std::uint8_t { return pos < size_ ? data_[pos++] : 0; };
    int count = 1 + (next() & 3);
    for (int i = 0; i < count; i++) {
      std::uint8_t control = next();
      size_t length = next() % 48;
      std::string bytes;
      Client c;
      switch (control & 3) {
      case 0:
        break;
      case 1:
        bytes.assign(reinterpret_cast<const char*>(right), 4);
        c.rightCookie = true;
        break;
      case 2:
        bytes.assign(reinterpret_cast<const char*>(right), 4);
        bytes[(control >> 2) & 3] ^= static_cast<char>(next() | 1);
        break;
      case 3:
        bytes.assign(reinterpret_cast<const char*>(right), (control >> 2) & 3);
        length = 0;
        break;
      }
      for (size_t k = 0; k < length && pos < size_; k++)
        bytes.push_back(static_cast<char>(next()));
      if (bytes.size() >= 4 && bytes.compare(0, 4, reinterpret_cast<const char*>(right), 4) == 0) {
        c.rightCookie = true;
        c.payload = bytes.substr(4);
      }

      c.fd = connectClient(port, bytes);
      if (c.fd < 0) {
        rigFailed = true;
        continue;
      }
      if (control & 0x10)
        shutdown(c.fd, SHUT_WR);
      clients.push_back(c);
    }
    return true;
  }

  std::vector<Client> clients;
  // The harness's own client could not connect or send (the system ran
  // short of ports or buffers under the run's pace): the input says
  // nothing about the program and is skipped.
  bool rigFailed = false;

protected:
  const char* what() const override { return "loopback"; }

private:
  // A client connected to the port that has sent the bytes, or -1 when the
  // system refused it a few times over. A failure here is the harness's
  // own (the program has not yet been asked to accept anything), never a
  // fault of the program: it is tried again, then the input is skipped.
  static int connectClient(int port, const std::string& bytes) {
    for (int attempt = 0; attempt < 3; attempt++) {
      int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd < 0)
        continue;
      // An abortive close leaves no connection waiting out its time.
      struct linger abortive = {1, 0};
      setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
      sockaddr_in addr = {};
      addr.sin_family = AF_INET;
      addr.sin_port = htons(static_cast<std::uint16_t>(port));
      addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
          (bytes.empty() || send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                                static_cast<ssize_t>(bytes.size())))
        return fd;
      close(fd);
    }
    return -1;
  }

private:
  const std::uint8_t* data_;
  size_t size_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static plat::TimerManager timers;
  Reader reader;
  Loopback loopback(&reader, data, size);
  bool taken = false;
  {
    net::SelectSocketManager manager;
    try {
      loopback.connect(nullptr, &manager, 2);
      taken = true;
    } catch (plat::Exception& e) {
      check(loopback.rigFailed ||
                std::string(e.str()) == "The X Server did not open the loopback connection",
            e.str());
    }
    if (loopback.rigFailed)
      return 0;
    bool anyRight = false, payloadCame = false;
    for (const Client& c : loopback.clients) {
      anyRight = anyRight || c.rightCookie;
      payloadCame = payloadCame || (c.rightCookie && c.payload == reader.got);
    }
    check(taken == anyRight, taken ? "a connection without the cookie was taken"
                                   : "the connection with the cookie was refused");
    check(!taken || payloadCame, "the bytes after the cookie did not reach the reader");
    check(loopback.getCookie() == 0 || !taken, "the cookie outlived the handshake");
  }
  return 0;
}
