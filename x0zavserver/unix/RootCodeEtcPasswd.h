// The password module over the system's user database: passwd, shadow and
// NIS+ entries compared through crypt(). One process-wide instance.
#pragma once

#include "x0zavserver/unix/RootCodeUPV.h"

namespace zav {

class RootCodeEtcPasswd : public RootCodeUPV {
public:
  static RootCodeEtcPasswd& instance();
  const char* name() const override { return "EtcPasswdVerifier"; }
  void verify(const char* user, const char* password) override;
};

} // namespace zav
