#include "zav/DesktopServer.h"

namespace zav {

DesktopServer::~DesktopServer() = default;

} // namespace zav
