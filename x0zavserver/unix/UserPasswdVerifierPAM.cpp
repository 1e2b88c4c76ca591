#include "x0zavserver/unix/UserPasswdVerifierPAM.h"

#include "x0zavserver/unix/RootCodePAM.h"

namespace zav {

std::unique_ptr<Session> UserPasswdVerifierPAM::verify(const char* user, const char* password) {
  return RootCodePAM::instance().verifyViaCoprocess(user, password);
}

} // namespace zav
