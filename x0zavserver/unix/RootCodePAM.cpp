#include "x0zavserver/unix/RootCodePAM.h"

#include "plat/DynamicFn.h"
#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"
#include "x0zavserver/AuthFailureException.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <security/pam_appl.h>
#include <unistd.h>

static plat::LogWriter vlog("PAMAuth");

namespace zav {

plat::StringParameter pamApplicationName("PamApplicationName", "PAM application policy to use",
                                         "zavserver", true);

const char* RootCodePAM::libraryName = "pam[0],pam";

namespace {

// The password the conversation hands out; set only around pam_authenticate.
const char* conversationPassword = nullptr;

int supply_password(int count, const struct pam_message** messages, struct pam_response** responses,
                    void*) {
  (void)messages;
  if (count == 1 && conversationPassword) {
    auto* r = static_cast<struct pam_response*>(calloc(1, sizeof(struct pam_response)));
    char* copy = r ? strdup(conversationPassword) : nullptr;
    if (copy) {
      r->resp = copy;
      r->resp_retcode = 0;
      *responses = r;
      return PAM_SUCCESS;
    }
    free(r);
    return PAM_BUF_ERR;
  }
  fprintf(stderr, "Unexpected invocation of supply_password\n");
  return PAM_CONV_ERR;
}

// The service names a file under /etc/pam.d: only a plain name, so that no
// path or hidden name reaches PAM.
bool isPlainServiceName(const char* name) {
  if (!*name || *name == '.')
    return false;
  for (const char* p = name; *p; p++) {
    char c = *p;
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '_' || c == '-';
    if (!ok)
      return false;
  }
  return true;
}

// Runs the PAM conversation with the launching user as the real user, so
// modules that trust a root caller (pam_rootok) do not pass; the effective
// user stays root to read the shadow database.
class RealUserScope {
public:
  explicit RealUserScope(uid_t user) {
    getresuid(&ruid_, &euid_, &suid_);
    if (euid_ == 0 && ruid_ == 0 && user != 0) {
      if (setresuid(user, 0, 0) != 0)
        throw plat::SystemException("setresuid", errno);
      changed_ = true;
    }
  }
  ~RealUserScope() {
    if (changed_ && setresuid(ruid_, euid_, suid_) != 0)
      abort(); // must never go on with half-changed ids
  }

private:
  uid_t ruid_, euid_, suid_;
  bool changed_ = false;
};

} // namespace

RootCodePAM& RootCodePAM::instance() {
  static RootCodePAM* module = new RootCodePAM;
  return *module;
}

void RootCodePAM::readRequest(plat::PlainPassword& user, plat::PlainPassword& password,
                              rdr::InStream& in) {
  RootCodeUPV::readRequest(user, password, in);
  char service[256];
  int n = in.readU8();
  in.readBytes(service, n);
  service[n] = '\0';
  pamApplicationName.setParam(service, 50);
}

void RootCodePAM::writeRequest(const char* user, const char* password, rdr::OutStream& out) {
  RootCodeUPV::writeRequest(user, password, out);
  plat::String service = pamApplicationName.getValue();
  int n = plat::strLen(service.c_str());
  if (n > 255)
    n = 255;
  out.writeU8(static_cast<std::uint8_t>(n));
  out.writeBytes(service.c_str(), n);
}

void RootCodePAM::verify(const char* user, const char* password) {
  plat::String userName(user);
  if (!*user) {
    // The launching user, not the real user of the co-process (root).
    const struct passwd* pw = getpwuid(os::RootCode::uid);
    if (!pw)
      throw plat::ExceptionFmt("No user name for user id %u",
                               static_cast<unsigned>(os::RootCode::uid));
    userName = pw->pw_name;
  }
  plat::String service = pamApplicationName.getValue();
  if (!isPlainServiceName(service.c_str()))
    throw plat::Exception("Invalid PAM service name");

  plat::DynamicFn strerrorFn(libraryName, "pam_strerror");
  plat::DynamicFn startFn(libraryName, "pam_start");
  plat::DynamicFn authenticateFn(libraryName, "pam_authenticate");
  plat::DynamicFn endFn(libraryName, "pam_end");
  auto pamStrerror =
      reinterpret_cast<const char* (*)(pam_handle_t*, int)>(strerrorFn.getFunction());
  auto pamStart =
      reinterpret_cast<int (*)(const char*, const char*, const struct pam_conv*, pam_handle_t**)>(
          startFn.getFunction());
  auto pamAuthenticate =
      reinterpret_cast<int (*)(pam_handle_t*, int)>(authenticateFn.getFunction());
  auto pamEnd = reinterpret_cast<int (*)(pam_handle_t*, int)>(endFn.getFunction());
  if (!pamStart || !pamAuthenticate || !pamEnd) {
    char text[48] = "";
    if (!pamStart)
      strncat(text, "pam_start ", sizeof(text) - strlen(text) - 1);
    if (!pamAuthenticate)
      strncat(text, "pam_authenticate ", sizeof(text) - strlen(text) - 1);
    if (!pamEnd)
      strncat(text, "pam_end ", sizeof(text) - strlen(text) - 1);
    strncat(text, "not found.", sizeof(text) - strlen(text) - 1);
    throw NotAvailableException(text);
  }

  RealUserScope realUser(os::RootCode::uid);
  struct pam_conv conversation = {supply_password, nullptr};
  pam_handle_t* handle = nullptr;
  int result = pamStart(service.c_str(), userName.c_str(), &conversation, &handle);
  if (result != PAM_SUCCESS) {
    const char* text = "<pam_strerror unavailable>";
    if (pamStrerror) {
      text = pamStrerror(handle, result);
      if (!text)
        text = "<null>";
    }
    plat::ExceptionFmt failure("pam_start failed: %s (%i)", text, result);
    pamEnd(handle, result);
    throw failure;
  }
  conversationPassword = password;
  result = pamAuthenticate(handle, 0);
  conversationPassword = nullptr;
  pamEnd(handle, result);
  if (result != PAM_SUCCESS) {
    vlog.debug("pam_authenticate: %i", result);
    throw rfb::AuthFailureException(
        "Either the username was not recognised, or the password was incorrect");
  }
}

} // namespace zav
