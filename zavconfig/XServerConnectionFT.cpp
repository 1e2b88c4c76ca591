#include "zavconfig/XServerConnectionFT.h"

#include "plat/Exception.h"
#include "zavconfig/zavext.h"

namespace zavconfig {

XServerConnectionFT::XServerConnectionFT()
    : XServerConnection(&server), manager(&extension), server(&extension) {
}

XServerConnectionFT::~XServerConnectionFT() = default;

bool XServerConnectionFT::request(Display* dpy, int port, std::uint32_t cookie) {
  if (!zavext::requestFileTransferStream(dpy, static_cast<unsigned short>(port), cookie))
    throw plat::Exception("Can't establish file transfer connection to X Server");
  return true;
}

} // namespace zavconfig
