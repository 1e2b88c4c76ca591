// The core's facade over the user database password module: verification goes
// through the co-process when there is one.
#pragma once

#include "x0zavserver/UserPasswdVerifier.h"

namespace zav {

class UserPasswdVerifierEtcPasswd : public UserPasswdVerifier {
public:
  std::unique_ptr<Session> verify(const char* user, const char* password) override;
  bool isAvailable() override { return true; }
  bool needsPassword() override { return true; }
};

} // namespace zav
