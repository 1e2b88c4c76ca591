#include "zavconfig/XServerConnectionChat.h"

#include "plat/Exception.h"
#include "zavconfig/zavext.h"

namespace zavconfig {

XServerConnectionChat::XServerConnectionChat(chat::ChatHistory* history, chat::ChatWindow* window)
    : XServerConnection(&conn), conn(history, window) {
}

XServerConnectionChat::~XServerConnectionChat() = default;

bool XServerConnectionChat::request(Display* dpy, int port, std::uint32_t cookie) {
  if (!zavext::requestChatStream(dpy, static_cast<unsigned short>(port), cookie))
    throw plat::Exception("Can't establish chat connection to X Server");
  return true;
}

} // namespace zavconfig
