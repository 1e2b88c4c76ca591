// The chat window as the rest of the configuration tool reaches it: shown on
// the desktop user's request or the X server's chat service, and told when
// the chat connection is gone. Whoever builds the window owns it.
#pragma once

namespace chat {

class ChatWindow {
public:
  virtual ~ChatWindow() = default;
  // Maps and raises the window and tells the chat peer that it is open;
  // throws plat::Exception when the peer cannot be told.
  virtual void show() = 0;
  // The chat connection closed; nothing by default.
  virtual void connectionClosed() {}
};

} // namespace chat
