// The tool's end of the chat stream from the X server: reads the server's
// messages (bring the window up, a chat line, a participant joined or left)
// into the window and the history, and sends the window's visible and focus
// state as two-byte messages. The state is remembered, so what changes while
// there is no connection reaches the server when the next one comes. History
// and window are not owned; the socket belongs to its socket manager.
#pragma once

#include "chat/ChatState.h"
#include "net/SocketServer.h"

namespace rdr {
class OutStream;
}

namespace chat {

class ChatHistory;
class ChatWindow;

class ServerConn : public net::SocketServer, public ChatState {
public:
  // Longest chat line the server may send.
  static constexpr int maxTextLength = 1024;
  // Why a state cannot be sent: the chat window shows it to the user.
  static constexpr const char* noConnectionText =
      "Chat is not available: there is no connection to the server.";

  ServerConn(ChatHistory* history, ChatWindow* window);

  // Takes the socket's streams and sends the focus, then the visible state.
  void addSocket(net::Socket* sock, bool outgoing) override;
  void removeSocket(net::Socket* sock) override;
  // Handles every whole message that has arrived; a partial one waits for
  // the rest. An unknown message type, a line over maxTextLength, the end of
  // the stream or another stream error closes the connection.
  void socketReadable(net::Socket* sock) override;

  // Store the state, then send it; throw plat::Exception "chat: no server
  // connection" when there is no connection.
  void notifyChatFocus(bool focused) override;
  void notifyChatVisible(bool visible) override;

private:
  void send(int type, bool value);

  ChatHistory* history;
  ChatWindow* window;
  net::Socket* sock = nullptr;
  rdr::OutStream* out = nullptr;
  bool focused = false;
  bool visible = false;
};

} // namespace chat
