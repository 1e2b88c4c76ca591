// A single sign-on exchange over GSS-API: holds one security context of the
// "SingleSignOn" module, released when the acceptor goes.
#pragma once

#include "x0zavserver/Acceptor.h"

#include <cstdint>

class GssAcceptor : public sso::Acceptor {
public:
  // Makes the context with the library list libraryPath; throws
  // plat::Exception when it cannot be made.
  explicit GssAcceptor(const char* libraryPath);
  ~GssAcceptor() override;
  GssAcceptor(const GssAcceptor&) = delete;
  GssAcceptor& operator=(const GssAcceptor&) = delete;

  // "HOST/<host name>".
  plat::String getServiceName() override;
  std::unique_ptr<zav::Session> accept(int tokenLength, const void* token,
                                       sso::OutputToken& output) override;

private:
  std::uint32_t contextId_;
};
