#include "serverconfig/SecuritySettings.h"

#include "plat/ConfigParameter.h"
#include "plat/Exception.h"
#include "plat/ParameterSet.h"
#include "plat/StringUtils.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace serverconfig {

namespace {

const char* const encryptionTexts[] = {"Always maximum", "Always on", "Prefer on", "Prefer off"};
const char* const authenticationTexts[] = {"None", "Zav password", "UNIX password",
                                           "Single sign-on"};
const char* const verifiers[] = {"None", "ZavAuth", "UnixAuth", "UnixAuth"};

// Forward lists by [encryption][authentication].
const char* const forwardLists[4][4] = {
    {"RA2:256+", "RA2:256+", "RA2:256+", "SSO:256+,RA2:256+"},
    {"RA2", "RA2", "RA2", "SSO,RA2"},
    {"RA2,RA2ne,None", "RA2,RA2ne,ZavAuth", "RA2,RA2ne", "SSO,RA2,SSOne,RA2ne"},
    {"RA2ne,None,RA2", "RA2ne,ZavAuth,RA2", "RA2ne,RA2", "SSOne,RA2ne,SSO,RA2"},
};
// Reverse lists by encryption: the server never offers single sign-on to a
// listening viewer, and its unencrypted part is always "RA2ne,None".
const char* const reverseLists[4] = {"RA2:256+", "RA2", "RA2,RA2ne,None", "RA2ne,None,RA2"};

bool validId(int id) {
  return id >= 0 && id < SecuritySettings::noItem;
}

plat::String valueOf(const plat::ParameterSet& set, const char* name) {
  plat::ConfigParameter* p = set.find(name);
  return p ? p->getValueStr() : plat::String();
}

void setText(plat::ParameterSet& set, const char* name, const char* value) {
  if (!set.get(name)->setParam(value, 50))
    throw plat::ExceptionFmt("Invalid value for %s: %s", name, value);
}

} // namespace

const char* SecuritySettings::encryptionText(int id) {
  return validId(id) ? encryptionTexts[id] : "";
}

const char* SecuritySettings::authenticationText(int id) {
  return validId(id) ? authenticationTexts[id] : "";
}

std::vector<SecuritySettings::Item> SecuritySettings::encryptionItems() {
  std::vector<Item> items;
  for (int id = 0; id < noItem; id++)
    items.push_back({id, encryptionTexts[id]});
  return items;
}

bool SecuritySettings::makeSecurityTypes(int encryption, int authentication, plat::String* forward,
                                         plat::String* reverse, plat::String* verifier) {
  if (!validId(encryption) || !validId(authentication))
    return false;
  *forward = forwardLists[encryption][authentication];
  *reverse = reverseLists[encryption];
  *verifier = verifiers[authentication];
  return true;
}

SecuritySettings::Loaded SecuritySettings::load(const plat::ParameterSet& working) {
  plat::String types = valueOf(working, "SecurityTypes");
  plat::String verifier = valueOf(working, "UserPasswdVerifier");
  Loaded result;
  for (int enc = 0; enc < noItem && result.encryption == noItem; enc++) {
    for (int auth = 0; auth < noItem; auth++) {
      plat::String forward, reverse, check;
      makeSecurityTypes(enc, auth, &forward, &reverse, &check);
      if (plat::strEqual(forward.get(), types.get()) &&
          plat::strEqual(check.get(), verifier.get())) {
        result.encryption = enc;
        result.authentication = auth;
        break;
      }
    }
  }
  result.authenticationItems = {{authZav, authenticationTexts[authZav]},
                                {authUnix, authenticationTexts[authUnix]}};
  plat::String ssoLib = valueOf(working, "SSOLib");
  if (result.authentication == authSso || (!ssoLib.isNull() && *ssoLib.get()))
    result.authenticationItems.push_back({authSso, authenticationTexts[authSso]});
  if (result.authentication == authNone)
    offerNone_ = true;
  if (offerNone_)
    result.authenticationItems.push_back({authNone, authenticationTexts[authNone]});
  result.configureEnabled = configureEnabled(result.authentication);
  return result;
}

bool SecuritySettings::store(plat::ParameterSet& working, int encryption, int authentication) {
  plat::String forward, reverse, verifier;
  if (!makeSecurityTypes(encryption, authentication, &forward, &reverse, &verifier))
    return false;
  setText(working, "SecurityTypes", forward.c_str());
  setText(working, "ReverseSecurityTypes", reverse.c_str());
  setText(working, "UserPasswdVerifier", verifier.c_str());
  return true;
}

bool SecuritySettings::configureEnabled(int authentication) {
  return authentication != authNone && validId(authentication);
}

void SecuritySettings::repairZeroPorts(plat::ParameterSet& working) {
  struct Port {
    const char* port;
    const char* allow;
    int usual;
  } ports[] = {{"rfbport", "AllowRFB", 5900}, {"httpPort", "AllowHTTP", 5800}};
  for (const Port& p : ports) {
    plat::ConfigParameter* port = working.find(p.port);
    plat::ConfigParameter* allow = working.find(p.allow);
    if (!port || !allow)
      continue;
    // Read from the text, so that any kind of parameter holding "0" counts.
    plat::String value = port->getValueStr();
    const char* text = value.c_str();
    if (!isdigit(static_cast<unsigned char>(*text)) || strtol(text, nullptr, 10) != 0)
      continue;
    char usual[16];
    snprintf(usual, sizeof usual, "%d", p.usual);
    allow->setParam("0", 50);
    port->setParam(usual, 50);
  }
}

bool SecuritySettings::passwordPresent(int authentication, const char* hasZavPasswd) {
  if (authentication != authZav || !hasZavPasswd)
    return true;
  return strtol(hasZavPasswd, nullptr, 10) != 0;
}

} // namespace serverconfig
