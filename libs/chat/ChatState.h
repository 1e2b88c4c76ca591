// How the chat window reports its state to whoever tells the X server's chat
// service: whether the window is shown and whether it has the keyboard
// focus. Implementations throw plat::Exception when they cannot pass it on.
#pragma once

namespace chat {

class ChatState {
public:
  virtual ~ChatState();
  virtual void notifyChatVisible(bool visible) = 0;
  virtual void notifyChatFocus(bool focused) = 0;
};

} // namespace chat
