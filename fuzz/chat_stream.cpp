// Feeds arbitrary bytes, in chunks whose size the first byte picks, through a
// real socket pair to the chat stream's reader, served by a select socket
// manager as in the program, then ends the stream. The lines go to a history
// without a file and a transcript laid out at a fixed width. A bad message
// must close the connection, never crash, overflow or allocate without bound;
// a message split over reads must be handled once.
#include "chat/ChatHistory.h"
#include "chat/ChatOptions.h"
#include "chat/ChatRenderImpl.h"
#include "chat/ChatWindow.h"
#include "chat/ServerConn.h"
#include "net/FdSocket.h"
#include "net/SelectSocketManager.h"
#include "net/io/FdIo.h"
#include "net/io/FdSelectManager.h"
#include "plat/Exception.h"
#include "plat/TimerManager.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Comes up and says so, as the real window does.
class Window : public chat::ChatWindow {
public:
  void show() override {
    if (state)
      state->notifyChatVisible(true);
  }
  void connectionClosed() override { closed = true; }
  chat::ChatState* state = nullptr;
  bool closed = false;
};

struct Options {
  Options() { options.chatLogFile.setParam("", 50); }
  ChatOptions options;
};

// What the tool wrote back goes nowhere.
void drain(int fd) {
  char buf[4096];
  while (recv(fd, buf, sizeof(buf), MSG_DONTWAIT) > 0) {
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static Options opts;
  static plat::TimerManager timers;
  if (size < 1)
    return 0;
  const size_t chunk = 1 + data[0] % 64;
  data++;
  size--;

  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
    abort();
  chat::ChatRenderImpl view(nullptr, nullptr);
  view.setSize(300, 200);
  chat::ChatHistory history(&view, &opts.options);
  Window window;
  chat::ServerConn conn(&history, &window);
  window.state = &conn;
  {
    net::SelectSocketManager manager;
    manager.addSocket(new net::FdSocket(new io::FdIo(fds[0], true)), &conn, false);
    size_t sent = 0;
    int passesAfterEnd = 0;
    while (!window.closed) {
      if (sent < size) {
        size_t n = size - sent < chunk ? size - sent : chunk;
        if (write(fds[1], data + sent, n) != static_cast<ssize_t>(n))
          abort();
        sent += n;
      } else if (fds[1] >= 0) {
        close(fds[1]);
        fds[1] = -1;
      } else if (++passesAfterEnd > 20) {
        fprintf(stderr, "the connection outlived the end of its stream\n");
        abort();
      }
      manager.getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 0);
      if (fds[1] >= 0)
        drain(fds[1]);
    }
  }
  if (fds[1] >= 0)
    close(fds[1]);
  if (history.records().size() > chat::ChatHistory::maxRecords)
    abort();
  return 0;
}
