// The extra users' password files behind the extended-authentication
// dialog: for a user kind K ("Admin", "ViewOnly") the file named by the
// parameter "<K>PasswordFile", whether the user is enabled (the file exists
// and holds at least one byte), the removal of its file, and the dialog's
// texts. Holds nothing; the parameter set belongs to the caller.
#pragma once

#include <string>

namespace plat {
class ParameterSet;
}

namespace serverconfig {

class ExtPasswordModel {
public:
  // "AdminPasswordFile" for "Admin".
  static std::string parameterName(const char* kind);
  // "Zav \"Admin\" Password"; "Zav Server Password" for the empty kind.
  static std::string passwordTitle(const char* kind);
  // The question asked before a user's file is removed.
  static std::string removalQuestion(const char* kind);

  // Whether the user's file exists and holds a byte. A parameter without a
  // value ("Unable to get parameter %s") or an empty file ("Unable to read
  // password for %s") is logged and counts as no file. An unknown
  // environment variable in the name or a file that cannot be opened is
  // thrown as plat::Exception for the error box.
  static bool hasPassword(const plat::ParameterSet& config, const char* parameterName);
  // Deletes the user's file (a missing file is fine); a failure is thrown as
  // plat::Exception "Removing password file failed: ...".
  static void removePassword(const plat::ParameterSet& config, const char* parameterName);
};

} // namespace serverconfig
