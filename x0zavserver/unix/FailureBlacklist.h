// The failure blacklist of one launching user: a root-owned file in a private
// root-owned directory holding one byte per counted attempt; its size and
// modification time are all that matter. Every decision is taken under a
// whole-file write lock, so launchers of the same user count every attempt.
// A file that cannot be recorded refuses the attempt.
#pragma once

#include <sys/types.h>

namespace zav {

class FailureBlacklist {
public:
  // The directory is made when missing; the file is "<directory>/<uid>".
  FailureBlacklist(const char* directory, uid_t uid);

  // Before a verification: refuses with rfb::AuthFailureException "Too many
  // security failures" while more than 9 attempts lie less than 60 seconds
  // in the past; starts counting afresh once 60 seconds have passed; then
  // counts this attempt. Throws plat::Exception when it cannot count.
  void recordAttempt();
  // After a successful verification: takes back one counted attempt.
  void recordSuccess();

  static constexpr const char* defaultDirectory = "/var/run/zavserver-auth";
  static constexpr int maxFailures = 9;
  static constexpr long long blockTicks = 600000000LL; // 60 s in 100 ns ticks

private:
  int openFile();

  const char* directory_;
  uid_t uid_;
};

} // namespace zav
