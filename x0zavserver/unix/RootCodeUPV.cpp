#include "x0zavserver/unix/RootCodeUPV.h"

#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"
#include "x0zavserver/AuthFailureException.h"
#include "x0zavserver/unix/FailureBlacklist.h"
#include "x0zavserver/unix/UnixSession.h"

static plat::LogWriter vlog("RootCodeUPV");

namespace zav {

void RootCodeUPV::readRequest(plat::PlainPassword& user, plat::PlainPassword& password,
                              rdr::InStream& in) {
  user.replaceBuf(in.readString(maxStringLength));
  password.replaceBuf(in.readString(maxStringLength));
}

void RootCodeUPV::writeRequest(const char* user, const char* password, rdr::OutStream& out) {
  out.writeString(user);
  out.writeString(password);
}

void RootCodeUPV::handle(rdr::InStream& in, rdr::OutStream& out) {
  plat::PlainPassword user, password;
  readRequest(user, password, in);
  int code = Accepted;
  plat::String message;
  try {
    blacklistGuard(user.get(), password.get());
  } catch (NotAvailableException& e) {
    code = NotAvailable;
    message = e.str();
  } catch (rfb::AuthFailureException& e) {
    code = AuthFailed;
    message = e.str();
  } catch (plat::Exception& e) {
    code = OtherFailure;
    message = e.str();
  }
  out.writeU8(static_cast<std::uint8_t>(code));
  if (code != Accepted)
    out.writeString(message.c_str());
}

void RootCodeUPV::blacklistGuard(const char* user, const char* password) {
  FailureBlacklist blacklist(FailureBlacklist::defaultDirectory, os::RootCode::uid);
  blacklist.recordAttempt();
  verify(user, password);
  blacklist.recordSuccess();
}

std::unique_ptr<Session> RootCodeUPV::verifyViaCoprocess(const char* user, const char* password) {
  // Both come from the network. The co-process takes at most
  // maxStringLength bytes of each and ends on anything longer, which would
  // break every later verification; such a name or password cannot be
  // right, so it is refused here, before anything is sent, whether or not
  // there is a co-process.
  if (plat::strLen(user) > maxStringLength || plat::strLen(password) > maxStringLength) {
    vlog.error("user name or password longer than %d bytes refused", maxStringLength);
    throw rfb::AuthFailureException(failureText);
  }
  Channel ch = channel();
  if (ch.in && ch.out) {
    writeRequest(user, password, *ch.out);
    ch.out->flush();
    int code = ch.in->readU8();
    if (code != Accepted) {
      if (code < AuthFailed || code > NotAvailable)
        throw plat::ExceptionFmt("Invalid auth result %i from co-process", code);
      std::unique_ptr<char[]> text(ch.in->readString(maxStringLength));
      if (code == AuthFailed)
        throw rfb::AuthFailureException(text.get());
      if (code == NotAvailable)
        throw NotAvailableException(text.get());
      throw plat::Exception(text.get());
    }
  } else {
    verify(user, password);
  }
  return UnixSession::start(user);
}

} // namespace zav
