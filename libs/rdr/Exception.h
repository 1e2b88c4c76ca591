// The failures the byte streams report. Each is a plain plat::Exception value
// with a fixed message; callers catch the kind they can handle (a reader of a
// non-blocking source catches BlockException and retries later).
#pragma once

#include "plat/Exception.h"

namespace rdr {

// The source has nothing more now; the stream is back at its checkpoint.
class BlockException : public plat::Exception {
public:
  BlockException() : plat::Exception("Reading from InStream would block") {}
};

// The source has ended (a memory block is exhausted, a descriptor reached end
// of file).
class EndOfStream : public plat::Exception {
public:
  EndOfStream() : plat::Exception("End of stream") {}
};

// A string's length field exceeds the maximum the reader allows.
class StringTooLongException : public plat::Exception {
public:
  StringTooLongException() : plat::Exception("String exceeds maximum length") {}
};

// A memory output stream reached its size limit.
class OutStreamFull : public plat::Exception {
public:
  OutStreamFull() : plat::Exception("OutStream full") {}
};

// Misuse of a framed stream or a malformed frame on the wire.
class FrameException : public plat::Exception {
public:
  explicit FrameException(const char* text) : plat::Exception(text) {}
};

// A read ran past the last frame of the current message.
class EndOfMsg : public plat::Exception {
public:
  EndOfMsg() : plat::Exception("End of message") {}
};

} // namespace rdr
