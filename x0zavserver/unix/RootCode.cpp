#include "x0zavserver/unix/RootCode.h"

#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "rdr/FdInStream.h"
#include "rdr/FdOutStream.h"

#include <climits>
#include <memory>
#include <unistd.h>

static plat::LogWriter vlog("RootCode");

namespace os {

plat::IntParameter privReadFd("_privReadFd", "", 0, INT_MIN, INT_MAX);
plat::IntParameter privWriteFd("_privWriteFd", "", 0, INT_MIN, INT_MAX);

uid_t RootCode::uid = getuid();

namespace {

// Opened on first use and never closed.
struct ChannelState {
  bool opened = false;
  std::unique_ptr<rdr::FdInStream> in;
  std::unique_ptr<rdr::FdOutStream> out;
};

ChannelState& state() {
  static ChannelState* s = new ChannelState;
  return *s;
}

} // namespace

void RootCode::forgetChannel() {
  ChannelState& s = state();
  s.opened = false;
  s.in.reset();
  s.out.reset();
}

RootCode::Channel RootCode::channel() {
  ChannelState& s = state();
  if (!s.opened) {
    s.opened = true;
    int readFd = privReadFd, writeFd = privWriteFd;
    vlog.debug("init: read=%i, write=%i", readFd, writeFd);
    if (readFd != 0 && writeFd != 0) {
      vlog.status("Establishing co-process pipes");
      try {
        s.in.reset(new rdr::FdInStream(readFd, -1, 0, false, true));
        s.out.reset(new rdr::FdOutStream(writeFd, -1, 0));
      } catch (plat::Exception& e) {
        vlog.error("%s", e.str());
        s.in.reset();
        s.out.reset();
      }
    } else {
      vlog.status("No co-process.");
    }
  }
  if (!s.in || !s.out)
    return {nullptr, nullptr};
  int n = plat::strLen(name());
  if (n > maxNameLength)
    n = maxNameLength;
  s.out->writeU8(static_cast<std::uint8_t>(n));
  s.out->writeBytes(name(), n);
  s.out->flush();
  return {s.in.get(), s.out.get()};
}

} // namespace os
