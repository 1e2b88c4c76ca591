// What the password dialog decides from its two fields: whether "Ok" can be
// pressed, what pressing it leads to, and the writing of the password file
// named by its parameter. The window shows the boxes; this holds no state
// and owns nothing (the parameter belongs to the caller).
#pragma once

namespace plat {
class ConfigParameter;
}

namespace serverconfig {

class PasswordDialogModel {
public:
  enum class Outcome {
    Mismatch, // show mismatchText in the warning box
    AskShort, // ask shortPasswordQuestion; "Yes" stores the password
    Store,    // store the password and end the dialog
  };

  static constexpr const char* mismatchText = "The supplied passwords do not match";
  static constexpr const char* shortPasswordQuestion =
      "The supplied password does not meet minimum complexity recommendations. We "
      "recommend that passwords are at least six characters long. Are you sure you "
      "want to use this password?";
  // The fields' length limit.
  static constexpr int maxLength = 255;

  // "Ok" is enabled exactly when both fields hold text.
  static bool okEnabled(const char* password, const char* confirm);
  // The outcome of "Ok": byte-wise comparison, then the length rule alone.
  static Outcome check(const char* password, const char* confirm);
  // Writes the password to the file the parameter names (see PasswordFile);
  // every failure is thrown as plat::Exception with the message to show, and
  // the dialog then ends with result false.
  static void store(const plat::ConfigParameter& fileParameter, const char* password);
};

} // namespace serverconfig
