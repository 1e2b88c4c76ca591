// Makes single sign-on acceptors for the packages it knows.
#pragma once

#include "x0zavserver/Acceptor.h"

#include <memory>
#include <string>
#include <vector>

namespace sso {

class AcceptorFactory {
public:
  virtual ~AcceptorFactory() = default;
  // Appends the names of the packages offered.
  virtual void getPackages(std::vector<std::string>& packages) = 0;
  // A new acceptor for the package, owned by the caller; throws
  // plat::Exception for a package it does not know or cannot start.
  virtual std::unique_ptr<Acceptor> createAcceptor(const char* package) = 0;
};

} // namespace sso
