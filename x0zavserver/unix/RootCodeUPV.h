// The common base of the password modules. In the co-process handle() reads a
// user name and password, verifies them under the failure blacklist of the
// launching user and replies with a result code; in the core
// verifyViaCoprocess() sends the request (or verifies in-process without a
// co-process) and turns a success into a session.
#pragma once

#include "plat/Exception.h"
#include "plat/PlainPassword.h"
#include "x0zavserver/Session.h"
#include "x0zavserver/unix/RootCode.h"

#include <memory>

namespace zav {

class RootCodeUPV : public os::RootCode {
public:
  // The verification method cannot be used at all (reply code 3).
  class NotAvailableException : public plat::Exception {
  public:
    explicit NotAvailableException(const char* text) : plat::Exception(text) {}
  };

  // Reply codes of both modules.
  enum { Accepted = 0, AuthFailed = 1, OtherFailure = 2, NotAvailable = 3 };
  // The refusal of a name or password, the same whatever was wrong, so that
  // it tells nothing about which users exist.
  static constexpr const char* failureText =
      "Either the username was not recognised, or the password was incorrect";
  // The longest user name, password and reply message on the wire.
  static constexpr int maxStringLength = 256;

  void handle(rdr::InStream& in, rdr::OutStream& out) override;
  // Core side: a new session owned by the caller, or the reply's exception.
  virtual std::unique_ptr<Session> verifyViaCoprocess(const char* user, const char* password);
  // Co-process side: verify() under the failure blacklist.
  virtual void blacklistGuard(const char* user, const char* password);
  // Throws when the name or the password is not accepted.
  virtual void verify(const char* user, const char* password) = 0;
  virtual void readRequest(plat::PlainPassword& user, plat::PlainPassword& password,
                           rdr::InStream& in);
  virtual void writeRequest(const char* user, const char* password, rdr::OutStream& out);
};

} // namespace zav
