#include "serverconfig/ServerStatusHLCallback.h"

namespace serverconfig {

ServerStatusHLCallback::ServerStatusHLCallback(Window* window_, StatusDialog::Callback* status,
                                               net::SocketManager* mgr)
    : window(window_), connTest(status, mgr) {
}

ServerStatusHLCallback::~ServerStatusHLCallback() = default;

unsigned ServerStatusHLCallback::getCapabilities() {
  return _showPopup | _options | _users | _test;
}

void ServerStatusHLCallback::showPopup(const char* title, const char* markup) {
  window->showExplanation(title, markup);
}

plat::String ServerStatusHLCallback::portOwner(int) {
  return plat::String();
}

void ServerStatusHLCallback::showOptions(int) {
  window->hideExplanation();
  window->showOptions();
}

void ServerStatusHLCallback::showUsers(int) {
  window->showConnections();
}

void ServerStatusHLCallback::runTest(int) {
  window->showConnTest(&connTest);
}

} // namespace serverconfig
