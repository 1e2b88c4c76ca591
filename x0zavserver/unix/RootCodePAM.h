// The password module over PAM, bound at run time. The request carries the
// PAM service name, which stays in force in the co-process until the next
// request. One process-wide instance.
#pragma once

#include "plat/StringParameter.h"
#include "x0zavserver/unix/RootCodeUPV.h"

namespace zav {

extern plat::StringParameter pamApplicationName;

class RootCodePAM : public RootCodeUPV {
public:
  static RootCodePAM& instance();
  const char* name() const override { return "PamVerifier"; }
  void verify(const char* user, const char* password) override;
  void readRequest(plat::PlainPassword& user, plat::PlainPassword& password,
                   rdr::InStream& in) override;
  void writeRequest(const char* user, const char* password, rdr::OutStream& out) override;

  // The library specification PAM is bound from.
  static const char* libraryName;
  // How long one check may take before it is ended and refused: far beyond
  // what a PAM stack takes, even one that asks servers on the network.
  static constexpr int timeLimitSeconds = 60;
};

} // namespace zav
