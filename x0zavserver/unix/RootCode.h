// A privileged operation of the launcher: the same module object serves both
// sides of the co-process channel. In the server core its client operations
// send a request through channel() and read the reply; in the root
// co-process handle() reads that request, does the work and replies. Modules
// are long-lived objects; the channel streams belong to this class and live
// until the process ends.
#pragma once

#include "plat/IntParameter.h"

#include <cstddef>
#include <sys/types.h>

namespace rdr {
class InStream;
class OutStream;
} // namespace rdr

namespace os {

class RootCode {
public:
  virtual ~RootCode() = default;
  virtual const char* name() const = 0;
  // Serves one request in the co-process; the module name is already read.
  virtual void handle(rdr::InStream& in, rdr::OutStream& out) = 0;

  struct Channel {
    rdr::InStream* in;
    rdr::OutStream* out;
  };
  // Core side: the streams positioned for this module's request body (the
  // module name is written and flushed), or both null without a co-process.
  Channel channel();
  // Forgets the channel (without closing its descriptors), so that the next
  // channel() looks at the pipe parameters afresh: for a forked child that
  // is given pipes of its own.
  static void forgetChannel();

  // A field that may be longer than a stream's buffer (a single sign-on
  // token, a refused string): read or passed over in pieces, a checkpoint
  // before each, since a stream keeps everything since its last checkpoint.
  // Both sides use them; neither side rewinds within a request or a reply.
  static void readLongField(rdr::InStream& in, void* data, std::size_t length);
  static void skipLongField(rdr::InStream& in, std::size_t length);

  // The real user id of the user who started the launcher.
  static uid_t uid;

  // The longest module name that goes on the wire.
  static constexpr int maxNameLength = 255;
};

extern plat::IntParameter privReadFd;
extern plat::IntParameter privWriteFd;

} // namespace os
