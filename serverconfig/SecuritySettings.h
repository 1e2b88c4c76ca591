// The security settings of the connection pages as a model: the encryption
// and authentication choices (their items and ids) and their mapping to and
// from the parameters SecurityTypes, ReverseSecurityTypes and
// UserPasswdVerifier, which is the format of those lists as this program
// writes them. Also the settings the page repairs when it is built and the
// check that a server with Zav password authentication has a password.
// Holds only the "None offered" state; parameter sets belong to the caller.
#pragma once

#include "plat/String.h"

#include <vector>

namespace plat {
class ParameterSet;
}

namespace serverconfig {

class SecuritySettings {
public:
  // Item ids of both choices; noItem means the choice shows nothing.
  enum { alwaysMaximum = 0, alwaysOn = 1, preferOn = 2, preferOff = 3 };
  enum { authNone = 0, authZav = 1, authUnix = 2, authSso = 3 };
  static constexpr int noItem = 4;

  struct Item {
    int id;
    const char* text;
  };

  // The basic page starts without "None", the connection page with it.
  explicit SecuritySettings(bool offerNone) : offerNone_(offerNone) {}

  static const char* encryptionText(int id);     // "Always maximum"...
  static const char* authenticationText(int id); // "None", "Zav password"...
  // The encryption items in their order.
  static std::vector<Item> encryptionItems();

  // The lists for a pair of ids; false (outputs untouched) when either id is
  // noItem or out of range.
  static bool makeSecurityTypes(int encryption, int authentication, plat::String* forward,
                                plat::String* reverse, plat::String* verifier);

  // What the page shows after reading the working set.
  struct Loaded {
    int encryption = noItem;
    int authentication = noItem;
    std::vector<Item> authenticationItems; // in the order the choice lists them
    bool configureEnabled = false;         // given that the choice is enabled
  };
  // Reads SecurityTypes and UserPasswdVerifier (exact, case-sensitive match
  // against the table; ReverseSecurityTypes is not compared) and SSOLib.
  // Settings with authentication "None" keep "None" offered from then on.
  Loaded load(const plat::ParameterSet& working);

  // Writes the three lists at priority 50; false and nothing written when
  // either id is noItem.
  static bool store(plat::ParameterSet& working, int encryption, int authentication);

  // "Configure..." opens something only for Zav password, UNIX password and
  // single sign-on.
  static bool configureEnabled(int authentication);

  // Applied when the page is built: a viewer or HTTP port of 0 means the
  // connection was off, so its switch goes off and the port gets its usual
  // number (5900, 5800), at priority 50.
  static void repairZeroPorts(plat::ParameterSet& working);

  // OK and Apply are refused with Zav password authentication when the server
  // reports "has_zav_passwd" as 0 (text not starting with digits counts as
  // 0); no answer (null) passes.
  static bool passwordPresent(int authentication, const char* hasZavPasswd);
  static constexpr const char* noPasswordText =
      "The Zav authentication method is enabled, but no password is specified. The "
      "password dialog will now be shown";

  bool offerNone() const { return offerNone_; }

private:
  bool offerNone_;
};

} // namespace serverconfig
