#include "serverconfig/DummyStatusIcon.h"

#include "wvw/WArrow.h"

namespace serverconfig {

DummyStatusIcon::DummyStatusIcon(StatusIcon::Window& window, wvw::WLayout* owner)
    : button_(owner, "Commands", wvw::WArrow::Down),
      options_(button_.getMenu(), "Options...", false),
      connect_(button_.getMenu(), "Connect to Listening Zav Viewer", false),
      disconnect_(button_.getMenu(), "Disconnect Zav Viewers", false),
      guestLogin_(button_.getMenu(), "Guest Login", false),
      chat_(button_.getMenu(), "Chat...", false),
      fileTransfer_(button_.getMenu(), "File Transfer...", false), window_(window) {
  guestLogin_.setCheckable(true);
  button_.getMenu()->setInputHandler(this);
}

DummyStatusIcon::~DummyStatusIcon() {
  button_.getMenu()->setInputHandler(nullptr);
}

wvw::WMenuItem* DummyStatusIcon::getItem(int index) {
  wvw::WMenuItem* items[] = {&options_,    &connect_, &disconnect_,
                             &guestLogin_, &chat_,    &fileTransfer_};
  return index >= 0 && index < 6 ? items[index] : nullptr;
}

bool DummyStatusIcon::onClick(wvw::Widget* source) {
  button_.getMenu()->popdown();
  if (source == &options_)
    window_.showOptions();
  else if (source == &connect_)
    window_.openAddClientDialog();
  else if (source == &disconnect_)
    window_.disconnectAll();
  else if (source == &guestLogin_)
    // The tick follows from the window's refresh (tickGuestLogin).
    window_.setGuestLogin();
  else if (source == &chat_)
    window_.showChat();
  else if (source == &fileTransfer_)
    window_.showFileTransfer();
  else
    return false;
  return true;
}

} // namespace serverconfig
