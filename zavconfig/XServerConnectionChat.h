// The loopback chat stream from the virtual X server: it owns the chat
// stream's socket server (chat::ServerConn), which reads the server's chat
// messages into the history and window it borrows and reports the window's
// visible and focus state back. Built and owned by the main program, which
// connects it with its socket manager and serves the stream in its loop; the
// chat window reports its state through getState(). Destroy it only after the
// socket manager has let the stream go, and before the history and window.
#pragma once

#include "chat/ServerConn.h"
#include "zavconfig/XServerConnection.h"

namespace zavconfig {

class XServerConnectionChat : public XServerConnection {
public:
  XServerConnectionChat(chat::ChatHistory* history, chat::ChatWindow* window);
  ~XServerConnectionChat() override;

  // Sends the chat stream request; throws plat::Exception "Can't establish
  // chat connection to X Server" when it is refused.
  bool request(Display* dpy, int port, std::uint32_t cookie) override;

  // Where the chat window reports whether it is shown and focused.
  chat::ChatState* getState() { return &conn; }
  chat::ServerConn* getServerConn() { return &conn; }

protected:
  const char* what() const override { return "chat"; }

private:
  chat::ServerConn conn;
};

} // namespace zavconfig
