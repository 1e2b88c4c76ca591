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
  // The replies before this request were read whole: the stream need not
  // keep them. Without this every reply would stay in its buffer until it
  // overflowed.
  s.in->checkpoint();
  int n = plat::strLen(name());
  if (n > maxNameLength)
    n = maxNameLength;
  s.out->writeU8(static_cast<std::uint8_t>(n));
  s.out->writeBytes(name(), n);
  s.out->flush();
  return {s.in.get(), s.out.get()};
}

namespace {
// Well below any stream's buffer size.
constexpr std::size_t piece = 4096;
} // namespace

void RootCode::readLongField(rdr::InStream& in, void* data, std::size_t length) {
  auto* out = static_cast<std::uint8_t*>(data);
  while (length > 0) {
    std::size_t n = length < piece ? length : piece;
    in.checkpoint();
    in.readBytes(out, static_cast<int>(n));
    out += n;
    length -= n;
  }
}

void RootCode::skipLongField(rdr::InStream& in, std::size_t length) {
  while (length > 0) {
    std::size_t n = length < piece ? length : piece;
    in.checkpoint();
    in.skip(static_cast<int>(n));
    length -= n;
  }
}

} // namespace os
