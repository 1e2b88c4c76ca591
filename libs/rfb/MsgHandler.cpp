#include "rfb/MsgHandler.h"

#include "rfb/ProtocolError.h"

namespace rfb {

MsgHandler::MsgHandler() = default;
MsgHandler::~MsgHandler() = default;

void MsgHandler::setExtension(const char* name, bool enabled) {
  if (enabled)
    cp_.extensions().insert(name);
  else
    cp_.extensions().erase(name);
}

void MsgHandler::connectionClosed(const char* text, int code) {
  throw ConnCloseException(text, code);
}

} // namespace rfb
