#include "x0zavserver/unix/RootCodeEtcPasswd.h"

#include "plat/LogWriter.h"
#include "plat/String.h"
#include "plat/unix/Passwd.h"
#include "x0zavserver/AuthFailureException.h"
#include "x0zavserver/unix/AuthLog.h"

#include <cerrno>
#include <crypt.h>
#include <cstdlib>
#include <cstring>
#include <shadow.h>
#include <unistd.h>

static plat::LogWriter vlog("EtcPasswdAuth");

namespace zav {

namespace {

const char* const failureText =
    "Either the username was not recognised, or the password was incorrect";

// The stored password field of a user, wiped when freed.
struct StoredPassword {
  plat::String text;
  ~StoredPassword() {
    if (text.buf())
      explicit_bzero(text.buf(), strlen(text.buf()));
  }
};

// Looks the user up in the user database; false when there is no entry
// (the launcher's lookups throw for that, other programs' leave the entry
// not valid) or the lookup fails.
bool lookupUser(const char* user, plat::String& passwd, uid_t& uid) {
  try {
    os::Passwd entry(user);
    if (!entry.isValid())
      return false;
    passwd = entry.getPasswd();
    uid = entry.getUid();
    return true;
  } catch (plat::SystemException& e) {
    vlog.debug("%s", e.str());
    return false;
  }
}

} // namespace

RootCodeEtcPasswd& RootCodeEtcPasswd::instance() {
  static RootCodeEtcPasswd* module = new RootCodeEtcPasswd;
  return *module;
}

void RootCodeEtcPasswd::verify(const char* user, const char* password) {
  StoredPassword stored;
  uid_t uid = 0;
  bool accepted = false;
  if (lookupUser(user, stored.text, uid)) {
    if (stored.text == "x") {
      setspent();
      const struct spwd* sp = getspnam(user);
      if (!sp) {
        endspent();
        throw plat::Exception("Unable to get shadow password entry");
      }
      stored.text = sp->sp_pwdp;
      endspent();
    } else if (stored.text == "*NP*") {
      uid_t saved = geteuid();
      if (seteuid(uid) != 0)
        throw plat::Exception("Unable to seteuid to use NIS+");
      const struct spwd* sp = getspnam(user);
      plat::String field(sp ? sp->sp_pwdp : nullptr);
      if (seteuid(saved) != 0)
        abort(); // must never go on serving requests with the user's ids
      if (!sp)
        throw plat::Exception("Unable to get NIS+ password entry");
      stored.text = field;
    }
    if (stored.text.isNull())
      throw plat::Exception("Password entry is empty");
    if (*stored.text.c_str() == '\0') {
      accepted = true;
    } else {
      const char* hashed = crypt(password, stored.text.c_str());
      accepted = hashed && strcmp(hashed, stored.text.c_str()) == 0;
    }
  }
  if (!accepted) {
    vlog.debug("rejected %s", user);
    authLog(user, failureText);
    throw rfb::AuthFailureException(failureText);
  }
}

} // namespace zav
