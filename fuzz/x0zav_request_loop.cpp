// Feeds arbitrary bytes, as the unprivileged core could write them, to the
// co-process's request loop with both password modules registered. The
// modules parse their requests and reply as usual; only the verification
// itself (blacklist files, the user database, PAM) is left out. Any failure
// must be a plat::Exception, never a crash.
#include "PipeSource.h"
#include "rdr/Exception.h"
#include "rdr/MemOutStream.h"
#include "x0zavserver/AuthFailureException.h"
#include "x0zavserver/unix/ModuleRegistry.h"
#include "x0zavserver/unix/RootCodeEtcPasswd.h"
#include "x0zavserver/unix/RootCodePAM.h"

#include <cstdint>

namespace {

// The verdict comes from the password's first byte.
void decide(const char* password) {
  switch (password[0] % 4) {
  case 1:
    throw rfb::AuthFailureException("no");
  case 2:
    throw plat::Exception("other");
  case 3:
    throw zav::RootCodeUPV::NotAvailableException("not available");
  }
}

class EtcPasswd : public zav::RootCodeEtcPasswd {
public:
  void blacklistGuard(const char*, const char* password) override { decide(password); }
};

class Pam : public zav::RootCodePAM {
public:
  void blacklistGuard(const char*, const char* password) override { decide(password); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static EtcPasswd etc;
  static Pam pam;
  os::ModuleRegistry registry;
  registry.add(&etc);
  registry.add(&pam);
  PipeSource in(data, size);
  rdr::MemOutStream out;
  try {
    registry.serve(in, out);
  } catch (plat::Exception&) {
  }
  return 0;
}
