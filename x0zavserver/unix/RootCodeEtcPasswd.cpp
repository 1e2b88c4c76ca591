#include "x0zavserver/unix/RootCodeEtcPasswd.h"

#include "plat/LogWriter.h"
#include "plat/String.h"
#include "plat/StringUtils.h"
#include "plat/unix/Passwd.h"
#include "x0zavserver/AuthFailureException.h"
#include "x0zavserver/unix/AuthLog.h"
#include "x0zavserver/unix/RootCode.h"

#include <cerrno>
#include <crypt.h>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <pwd.h>
#include <shadow.h>
#include <string>
#include <unistd.h>

static plat::LogWriter vlog("EtcPasswdAuth");

namespace zav {

namespace {

// The stored password field of a user, wiped when freed.
struct StoredPassword {
  plat::String text;
  ~StoredPassword() {
    if (text.buf())
      explicit_bzero(text.buf(), strlen(text.buf()));
  }
};

// What the shadow entry says about the account's life, in days since 1970;
// -1 where a field is empty.
struct Aging {
  long lastChange = -1, maxDays = -1, inactive = -1, expire = -1;
  bool known = false;
};

Aging agingOf(const struct spwd* sp) {
  Aging a;
  a.lastChange = sp->sp_lstchg;
  a.maxDays = sp->sp_max;
  a.inactive = sp->sp_inact;
  a.expire = sp->sp_expire;
  a.known = true;
  return a;
}

// Why an account whose password was right may not be used, or null: the
// rules the system's own password module applies.
const char* accountRefusal(const Aging& a, long today) {
  if (!a.known)
    return nullptr;
  if (a.expire != -1 && today >= a.expire)
    return "The account has expired";
  if (a.lastChange == 0)
    return "The password has expired and must be changed";
  if (a.lastChange > 0 && a.maxDays != -1 && a.maxDays < 99999) {
    long passwordEnd = a.lastChange + a.maxDays;
    if (a.inactive != -1 && today > passwordEnd + a.inactive)
      return "The password has expired and the account is inactive";
    if (today > passwordEnd)
      return "The password has expired and must be changed";
  }
  return nullptr;
}

// A stored hash that no password matches, of the kind and cost that the
// system gives its users' passwords (taken from the launching user's own
// entry, else the hashing library's default), so that an unknown user
// costs the same work as a known one.
const char* dummyHash() {
  static const plat::String hash = [] {
    std::string setting;
    if (const struct passwd* pw = getpwuid(os::RootCode::uid)) {
      std::string name = pw->pw_name;
      setspent();
      const struct spwd* sp = getspnam(name.c_str());
      if (sp && sp->sp_pwdp && sp->sp_pwdp[0] == '$')
        setting = sp->sp_pwdp;
      endspent();
    }
    struct crypt_data data = {};
    if (setting.empty()) {
      const char* made = crypt_gensalt_rn(nullptr, 0, nullptr, 0, data.setting,
                                          static_cast<int>(sizeof(data.setting)));
      setting = made ? made : "$6$zavdummysalt$";
    }
    const char* h =
        crypt_rn("zav dummy password", setting.c_str(), &data, static_cast<int>(sizeof(data)));
    return plat::String(h && *h != '*' ? h : "$6$zavdummysalt$");
  }();
  return hash.c_str();
}

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
  Aging aging;
  uid_t uid = 0;
  bool known = lookupUser(user, stored.text, uid);
  if (known) {
    if (stored.text == "x") {
      setspent();
      const struct spwd* sp = getspnam(user);
      if (!sp) {
        endspent();
        throw plat::Exception("Unable to get shadow password entry");
      }
      stored.text = sp->sp_pwdp;
      aging = agingOf(sp);
      endspent();
    } else if (stored.text == "*NP*") {
      uid_t saved = geteuid();
      if (seteuid(uid) != 0)
        throw plat::Exception("Unable to seteuid to use NIS+");
      const struct spwd* sp = getspnam(user);
      plat::String field(sp ? sp->sp_pwdp : nullptr);
      Aging found = sp ? agingOf(sp) : Aging();
      if (seteuid(saved) != 0)
        abort(); // must never go on serving requests with the user's ids
      if (!sp)
        throw plat::Exception("Unable to get NIS+ password entry");
      stored.text = field;
      aging = found;
    }
    if (stored.text.isNull())
      throw plat::Exception("Password entry is empty");
  }
  bool accepted = false;
  const char* refusal = nullptr;
  if (known && *stored.text.c_str() == '\0') {
    accepted = true;
  } else {
    // An unknown user's password is hashed all the same, against a hash
    // that nothing matches: the time of a refusal must not tell whether the
    // user exists.
    const char* hash = known ? stored.text.c_str() : dummyHash();
    // A locked account ("!" before the hash): a right password is told
    // that the account is locked rather than that it was wrong.
    bool locked = hash[0] == '!';
    const char* compared = hash;
    while (*compared == '!')
      compared++;
    const char* hashed = crypt(password, compared);
    bool usable = hashed && *hashed != '*' && *compared;
    bool matches = usable && strcmp(hashed, compared) == 0;
    // A field that holds a marker rather than a hash ("*", "!" alone, as
    // service accounts and users never given a password have) fails at
    // once; hashing against the dummy makes its refusal cost what a wrong
    // password costs, so such an account is not told from an unknown user.
    if (!usable)
      crypt(password, dummyHash());
    if (matches && locked)
      refusal = "The account is locked";
    accepted = known && matches && !locked;
  }
  if (accepted)
    refusal = accountRefusal(aging, static_cast<long>(time(nullptr) / 86400));
  if (!accepted || refusal) {
    const char* text = refusal ? refusal : failureText;
    vlog.debug("rejected %s", plat::strLoggable(user).c_str());
    authLog(user, text);
    throw rfb::AuthFailureException(text);
  }
}

} // namespace zav
