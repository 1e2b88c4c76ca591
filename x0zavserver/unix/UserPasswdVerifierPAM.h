// The core's facade over the PAM password module: verification goes
// through the co-process when there is one.
#pragma once

#include "x0zavserver/UserPasswdVerifier.h"

namespace zav {

class UserPasswdVerifierPAM : public UserPasswdVerifier {
public:
  std::unique_ptr<Session> verify(const char* user, const char* password) override;
  bool isAvailable() override { return true; }
  bool needsPassword() override { return true; }
};

} // namespace zav
