#include "serverconfig/ServerStatusHLCallback.h"

namespace serverconfig {

ServerStatusHLCallback::ServerStatusHLCallback(Window* window_, Display* dpy,
                                               wvw::Widget* explanationOwner_,
                                               plat::MarkUp::LinkCallback* links,
                                               StatusDialog::Callback* status,
                                               net::SocketManager* mgr, const char* serviceHost,
                                               int servicePort)
    : window(window_), explanationOwner(explanationOwner_),
      explanation_(explanationOwner_, links, explanationWidth),
      connTest(dpy, status, mgr, serviceHost, servicePort) {
}

ServerStatusHLCallback::~ServerStatusHLCallback() = default;

unsigned ServerStatusHLCallback::getCapabilities() {
  return _showPopup | _options | _users | _test;
}

void ServerStatusHLCallback::showPopup(const char* title, const char* markup) {
  explanation_.setTitle(title);
  explanation_.setText(markup);
  explanation_.setLastPointer(explanationOwner->getLastPointer());
  explanation_.popUp();
}

plat::String ServerStatusHLCallback::portOwner(int) {
  return plat::String();
}

void ServerStatusHLCallback::showOptions(int) {
  explanation_.hide();
  window->showOptions();
}

void ServerStatusHLCallback::showUsers(int) {
  window->showConnections();
}

void ServerStatusHLCallback::runTest(int) {
  connTest.show();
}

} // namespace serverconfig
