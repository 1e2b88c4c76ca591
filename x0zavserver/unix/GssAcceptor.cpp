#include "x0zavserver/unix/GssAcceptor.h"

#include "plat/DString.h"
#include "plat/LogWriter.h"
#include "x0zavserver/unix/GssRootCode.h"
#include "x0zavserver/unix/UnixSession.h"

#include <unistd.h>

static plat::LogWriter vlog("GssApiAcceptor");

GssAcceptor::GssAcceptor(const char* libraryPath)
    : contextId_(gssapi::GssRootCode::instance().newContext(libraryPath)) {
}

GssAcceptor::~GssAcceptor() {
  try {
    gssapi::GssRootCode::instance().releaseContext(contextId_);
  } catch (plat::Exception& e) {
    vlog.debug("releasing context %u: %s", contextId_, e.str());
  }
}

plat::String GssAcceptor::getServiceName() {
  char host[257];
  if (gethostname(host, sizeof(host)) != 0)
    host[0] = '\0';
  host[sizeof(host) - 1] = '\0';
  plat::DString name;
  name.appendFormat("HOST/%s", host);
  return name.str();
}

std::unique_ptr<zav::Session> GssAcceptor::accept(int tokenLength, const void* token,
                                                  sso::OutputToken& output) {
  gssapi::GssRootCode& module = gssapi::GssRootCode::instance();
  if (!module.acceptContext(contextId_, tokenLength, token, output))
    return nullptr;
  plat::String user = module.displayName(contextId_);
  return zav::UnixSession::start(user.c_str());
}
