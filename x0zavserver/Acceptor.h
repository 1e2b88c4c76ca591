// One single sign-on exchange with a viewer: takes the viewer's tokens one
// by one until the exchange completes in a session. Made by an
// AcceptorFactory and owned by the caller.
#pragma once

#include "plat/String.h"
#include "x0zavserver/OutputToken.h"
#include "x0zavserver/Session.h"

#include <memory>

namespace sso {

class Acceptor {
public:
  virtual ~Acceptor() = default;
  // The name under which the server is known to the viewer's mechanism.
  virtual plat::String getServiceName() = 0;
  // One step of the exchange. Null while it goes on, the output token then
  // holding what to send back; the authenticated session (owned by the
  // caller) once it is complete. Throws plat::Exception when the exchange
  // failed.
  virtual std::unique_ptr<zav::Session> accept(int tokenLength, const void* token,
                                               OutputToken& output) = 0;
};

} // namespace sso
