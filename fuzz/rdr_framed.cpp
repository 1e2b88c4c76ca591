// Feeds arbitrary bytes, in arbitrary chunks, to the framed reader and to the
// string reader, following the checkpoint discipline of a non-blocking
// reader. Any failure must be a plat::Exception, never a crash.
//
// Each time a read runs dry, `step` more bytes arrive: a small multiple of
// the chunk a single read takes, and at least an eighth of the input. A
// few bytes at a time would make a long input throw hundreds of times (each
// throw under the address sanitizer clears the stack's shadow), which is
// where the time went; short inputs still arrive a chunk at a time, and long
// ones still stop at arbitrary points inside their frames.
#include "ReleasedSource.h"
#include "rdr/InStreamV4.h"
#include "rdr/MemOutStream.h"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

// One message: fields chosen by the first byte of the body.
void readMessage(rdr::InStreamV4& in, rdr::MemOutStream& sink) {
  in.startMsg();
  std::uint8_t kind = in.readU8();
  switch (kind % 5) {
  case 0:
    in.readU32();
    in.readU16();
    break;
  case 1: {
    std::unique_ptr<char[]> s(in.readString(kind * 64));
    break;
  }
  case 2: {
    std::uint8_t buf[16];
    int n = 1 + kind % 8;
    in.getItems(buf, 1 + kind % 16, &n);
    break;
  }
  case 3:
    in.copyToEndOfMsg(&sink);
    break;
  default:
    in.skip(kind % 40);
    break;
  }
  in.skipToEndOfMsg();
  in.endMsg();
}

void runFramed(const std::uint8_t* data, size_t size, int bufSize, int chunk, int step) {
  ReleasedSource source(data, size, chunk, bufSize);
  rdr::InStreamV4 in(&source);
  rdr::MemOutStream sink(1024, 1 << 20);
  // A reader may go on using the stream after a failure (to skip the
  // message, say): a few more tries must fail cleanly too.
  int failures = 0;
  for (int rounds = 0; rounds < 100000; rounds++) {
    try {
      readMessage(in, sink);
    } catch (rdr::BlockException&) {
      if (source.exhausted())
        return;
      source.release(step);
    } catch (plat::Exception&) {
      if (++failures > 3)
        return; // a malformed stream ends the connection
      source.release(step);
    }
  }
}

void runStrings(const std::uint8_t* data, size_t size, int chunk, int step) {
  ReleasedSource source(data, size, chunk, 64);
  for (int rounds = 0; rounds < 100000; rounds++) {
    try {
      source.checkpoint();
      std::unique_ptr<char[]> s(source.readString(48));
    } catch (rdr::BlockException&) {
      if (source.exhausted())
        return;
      source.release(step);
    } catch (plat::Exception&) {
      return;
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2)
    return 0;
  int chunk = 1 + data[0] % 17;
  int bufSize = 16 + (data[1] % 4) * 4096;
  int step = std::max(chunk << ((data[1] >> 2) % 4), int(size / 8));
  runFramed(data + 2, size - 2, bufSize, chunk, step);
  runStrings(data + 2, size - 2, chunk, step);
  return 0;
}
