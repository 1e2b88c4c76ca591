// One entry of the user database, looked up by user name or user id with the
// re-entrant calls into a buffer of its own that grows as needed.
//
// What a lookup does when the database has no such user is chosen once per
// program: by default the entry is merely left not valid; the privileged
// launcher turns setMissingEntryThrows on at start-up, and then the lookup
// throws plat::SystemException "getpwnam" or "getpwuid" with error number 0.
#pragma once

#include <pwd.h>
#include <sys/types.h>

#include <vector>

namespace os {

class Passwd {
public:
  Passwd();
  explicit Passwd(uid_t uid);
  explicit Passwd(const char* name);
  ~Passwd();
  Passwd(const Passwd&) = delete;
  Passwd& operator=(const Passwd&) = delete;

  // A null name throws plat::AssertionFail "name != 0". A failed call throws
  // plat::SystemException "getpwnam" / "getpwuid" with its error number.
  void lookupName(const char* name);
  void lookupUid(uid_t uid);

  bool isValid() const { return valid; }

  // Each throws plat::AssertionFail "valid" when the entry is not valid.
  const char* getName() const;
  const char* getPasswd() const;
  uid_t getUid() const;
  gid_t getGid() const;
  const char* getHomeDir() const;
  const char* getShell() const;

  // Process-wide: whether a lookup that finds no entry throws.
  static void setMissingEntryThrows(bool on);
  static bool missingEntryThrows();

private:
  void lookup(const char* name, uid_t uid);

  std::vector<char> buffer;
  struct passwd entry;
  bool valid = false;
};

} // namespace os
