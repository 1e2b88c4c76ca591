#include "chat/ServerConn.h"

#include "chat/ChatHistory.h"
#include "chat/ChatWindow.h"
#include "net/Socket.h"
#include "net/io/FdIo.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "rdr/Exception.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

static plat::LogWriter vlog("ServerConn");

namespace chat {

namespace {

io::FdIo* channelOf(net::Socket* sock) {
  io::Io* io = sock->getIo();
  io::FdIo* fdIo = io ? io->asFdIo() : nullptr;
  if (!fdIo)
    throw plat::Exception("chat: the socket has no descriptor channel");
  return fdIo;
}

// A u8 length and that many bytes.
std::string readShortString(rdr::InStream* in) {
  int n = in->readU8();
  std::string s(static_cast<size_t>(n), '\0');
  in->readBytes(&s[0], n);
  // The text ends at its first NUL, as the receiver of a C string sees it.
  s.resize(strnlen(s.c_str(), s.size()));
  return s;
}

} // namespace

ServerConn::ServerConn(ChatHistory* history_, ChatWindow* window_)
    : history(history_), window(window_) {
}

void ServerConn::addSocket(net::Socket* s, bool) {
  out = channelOf(s)->getOutStream();
  sock = s;
  try {
    notifyChatFocus(focused);
    notifyChatVisible(visible);
  } catch (plat::Exception&) {
    // The manager does not take a socket whose server refused it: hold on
    // to nothing of it.
    out = nullptr;
    sock = nullptr;
    throw;
  }
}

void ServerConn::removeSocket(net::Socket* s) {
  // A socket other than the current one leaves the current connection alone.
  if (s != sock)
    return;
  out = nullptr;
  sock = nullptr;
  window->connectionClosed();
}

void ServerConn::socketReadable(net::Socket* s) {
  rdr::InStream* in = channelOf(s)->getInStream();
  try {
    in->checkpoint();
    while (in->avail() > 0 || in->overrun(false, 1)) {
      int type = in->readU8();
      switch (type) {
      case 2:
        window->show();
        break;
      case 3: {
        std::string sender = readShortString(in);
        std::string endpoint = readShortString(in);
        std::unique_ptr<char[]> text(in->readString(maxTextLength));
        in->checkpoint();
        history->addMessage(sender.c_str(), endpoint.c_str(), text.get());
        break;
      }
      case 4: {
        bool joined = in->readU8() != 0;
        std::string name = readShortString(in);
        std::string endpoint = readShortString(in);
        in->checkpoint();
        if (joined)
          history->userJoined(name.c_str(), endpoint.c_str());
        else
          history->userLeft(name.c_str(), endpoint.c_str());
        break;
      }
      default:
        fprintf(stderr, "Invalid message type %i\n", type);
        s->close();
        return;
      }
      in->checkpoint();
    }
  } catch (rdr::BlockException&) {
    // The rest of the message has not arrived; it is read again from its
    // type byte when it has.
  } catch (plat::Exception&) {
    s->close();
  } catch (std::exception& e) {
    // Out of memory, say: the stream goes, the program stays.
    vlog.error("socketReadable: %s", e.what());
    s->close();
  }
}

void ServerConn::send(int type, bool value) {
  if (!out)
    throw plat::Exception(noConnectionText);
  out->writeU8(static_cast<std::uint8_t>(type));
  out->writeU8(value ? 1 : 0);
  out->flush();
}

void ServerConn::notifyChatFocus(bool f) {
  focused = f;
  send(0, f);
}

void ServerConn::notifyChatVisible(bool v) {
  visible = v;
  send(1, v);
}

} // namespace chat
