// A password file named by a string parameter ("PasswordFile",
// "AdminPasswordFile", "ViewOnlyPasswordFile"): exactly the bytes of the
// obfuscated password, nothing before or after. The file is replaced whole
// through a temporary file with mode 0600, since the obfuscation can be
// reversed by anyone who can read it; in a folder the user may not write
// to, it is rewritten in place. Holds only the expanded path.
#pragma once

#include "plat/PlainPassword.h"
#include "plat/String.h"

namespace plat {
class ConfigParameter;
class ObfuscatedPassword;
} // namespace plat

namespace serverconfig {

class PasswordFile {
public:
  // The parameter's value with environment references expanded. An empty
  // value throws plat::Exception "Please specify a file location for the %s
  // parameter."; an unknown variable throws "unknown environment variable".
  explicit PasswordFile(const plat::ConfigParameter& parameter);

  const char* path() const { return path_.c_str(); }

  // Replaces the file with the obfuscated password, mode 0600. On failure
  // the old file is left as it was and plat::SystemException "Opening
  // password file failed" or "Writing password file failed" is thrown.
  // When the folder refuses the temporary file, the file is rewritten in
  // place instead: the new bytes over the old, then cut to their length; a
  // failed write there puts the old bytes back and is thrown all the same.
  void write(const char* password) const;

  // True when the file exists and holds at least one byte; false when it is
  // missing or empty. A file that exists but cannot be opened throws
  // "Opening password file failed".
  bool hasPassword() const;

  // Decodes the stored password. Throws "Opening password file failed",
  // "Reading password file failed" or, for a file that is not an obfuscated
  // password, "bad obfuscated password length".
  plat::PlainPassword read() const;

  // Deletes the file; a missing file is not an error. Throws
  // plat::SystemException "Removing password file failed" otherwise.
  void remove() const;

private:
  void rewriteInPlace(const plat::ObfuscatedPassword& obfuscated) const;

  plat::String path_;
};

} // namespace serverconfig
