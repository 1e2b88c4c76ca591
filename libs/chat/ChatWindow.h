// The chat window as the rest of the configuration tool reaches it: shown on
// the desktop user's request. Whoever builds the window owns it.
#pragma once

namespace chat {

class ChatWindow {
public:
  virtual ~ChatWindow() = default;
  // Maps and raises the window and tells the chat peer that it is open;
  // throws plat::Exception when the peer cannot be told.
  virtual void show() = 0;
};

} // namespace chat
