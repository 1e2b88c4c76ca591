#include "x0zavserver/unix/AcceptorFactory.h"

#include "plat/Exception.h"
#include "x0zavserver/unix/GssAcceptor.h"
#include "x0zavserver/unix/GssApi.h"

#include <cstring>

namespace gssapi {

AcceptorFactory AcceptorFactory::global;

void AcceptorFactory::getPackages(std::vector<std::string>& packages) {
  packages.push_back("Kerberos");
}

std::unique_ptr<sso::Acceptor> AcceptorFactory::createAcceptor(const char* package) {
  if (!package || strcmp(package, "Kerberos") != 0)
    throw plat::ExceptionFmt("Unknown package \"%s\"", package ? package : "");
  plat::String path = GssApi::dllPath.getValue();
  return std::unique_ptr<sso::Acceptor>(new GssAcceptor(path.c_str()));
}

} // namespace gssapi
