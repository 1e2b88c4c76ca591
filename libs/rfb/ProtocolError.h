// The exceptions of the remote framebuffer protocol side: a peer broke the
// protocol (ProtocolError, its message prefixed "RFB protocol error: "), or
// closed the connection with a reason and a code (ConnCloseException).
#pragma once

#include "plat/Exception.h"

namespace rfb {

class ProtocolError : public plat::Exception {
public:
  explicit ProtocolError(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

class ConnCloseException : public plat::Exception {
public:
  // The text is cut to 255 characters.
  ConnCloseException(const char* text, int code) : plat::Exception(text), code_(code) {}
  int code() const { return code_; }

private:
  int code_;
};

} // namespace rfb
