#include "x0zavserver/unix/UserPasswdVerifierPAM.h"

#include "plat/LogWriter.h"
#include "x0zavserver/unix/RootCodePAM.h"

static plat::LogWriter vlog("UserPasswdVerifierPAM");

namespace zav {

std::unique_ptr<Session> UserPasswdVerifierPAM::verify(const char* user, const char* password) {
  return RootCodePAM::instance().verifyViaCoprocess(user, password);
}

} // namespace zav
