#include "x0zavserver/unix/UserPasswdVerifierEtcPasswd.h"

#include "x0zavserver/unix/RootCodeEtcPasswd.h"

namespace zav {

std::unique_ptr<Session> UserPasswdVerifierEtcPasswd::verify(const char* user,
                                                             const char* password) {
  return RootCodeEtcPasswd::instance().verifyViaCoprocess(user, password);
}

} // namespace zav
