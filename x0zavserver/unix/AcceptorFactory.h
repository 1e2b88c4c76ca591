// The single sign-on packages over GSS-API: "Kerberos" only. Acceptors load
// the library list of SSOLib.
#pragma once

#include "x0zavserver/AcceptorFactory.h"

namespace gssapi {

class AcceptorFactory : public sso::AcceptorFactory {
public:
  void getPackages(std::vector<std::string>& packages) override;
  // Throws plat::Exception "Unknown package \"%s\"" for any other package,
  // and the failure to make the context.
  std::unique_ptr<sso::Acceptor> createAcceptor(const char* package) override;

  static AcceptorFactory global;
};

} // namespace gssapi
