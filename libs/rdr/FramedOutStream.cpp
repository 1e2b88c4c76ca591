#include "rdr/FramedOutStream.h"

#include "plat/LogWriter.h"
#include "rdr/Exception.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/uio.h>

static plat::LogWriter vlog("FramedOutStream");

namespace rdr {

FramedOutStream::FramedOutStream(OutStream* underlying_, int maxFrameSize_, int headerSize_,
                                 bool bulk_)
    : maxFrameSize(maxFrameSize_), headerSize(headerSize_), bulk(bulk_), underlying(underlying_) {
  if (underlying)
    ptr = end = underlying->getptr();
}

FramedOutStream::~FramedOutStream() {
  if (inFrame)
    fprintf(stderr, "~FramedOutStream: unfinished frame?\n");
}

void FramedOutStream::startFrame(int n) {
  if (inFrame)
    throw FrameException("FramedOutStream::startFrame: unfinished frame");
  PLAT_ASSERT(underlying);
  if (bulk)
    n = std::max(n, maxFrameSize);
  if (underlying->getend() - underlying->getptr() < headerSize + n)
    underlying->overrun(headerSize + n, 1);
  inFrame = true;
  frameStart = underlying->getptr();
  ptr = frameStart + headerSize;
  setFrameEnd();
}

void FramedOutStream::setFrameEnd() {
  // Measured as a distance: ptr + maxFrameSize may lie past the underlying
  // buffer, where not even a pointer may be formed.
  end = ptr + std::min<std::ptrdiff_t>(underlying->getend() - ptr, maxFrameSize);
}

void FramedOutStream::followUnderlying() {
  if (!inFrame || underlying->getptr() == frameStart)
    return;
  // A write-out only ever moves the pointer back to the start of the same
  // buffer, and leaves the bytes past it untouched.
  std::uint8_t* to = underlying->getptr();
  PLAT_ASSERT(to < frameStart);
  std::ptrdiff_t frameBytes = ptr - frameStart;
  std::ptrdiff_t dataRoom = end - (frameStart + headerSize);
  std::memmove(to, frameStart, frameBytes);
  frameStart = to;
  ptr = to + frameBytes;
  end = to + headerSize + dataRoom;
}

void FramedOutStream::endFrame(bool lastFrame) {
  if (!inFrame)
    throw FrameException("FramedOutStream::endFrame: not in frame");
  followUnderlying();
  std::uint8_t* header = frameStart;
  std::uint8_t* dataEnd = ptr;
  int dataLength = static_cast<int>(dataEnd - header - headerSize);
  ptr = header;
  writeFrameHeader(dataLength, lastFrame, firstFrame);
  if (ptr != header + headerSize)
    throw FrameException("FramedOutStream::endFrame: writeFrameHdr error");
  underlying->setPtr(dataEnd);
  firstFrame = false;
  inFrame = false;
  ptr = end = dataEnd;
}

void FramedOutStream::startMsg() {
  firstFrame = true;
  startFrame(1);
}

void FramedOutStream::endMsg(bool flushUnderlying) {
  if (!inFrame)
    throw FrameException("FramedOutStream::endMsg: not in frame");
  endFrame(true);
  if (flushUnderlying) {
    underlying->flush();
    ptr = end = underlying->getptr();
  }
}

void FramedOutStream::setUnderlying(OutStream* s) {
  if (inFrame)
    throw FrameException("FramedOutStream::setUnderlying: unfinished frame");
  underlying = s;
  ptr = end = s ? s->getptr() : nullptr;
}

void FramedOutStream::writeBytes(const void* data, int length) {
  const std::uint8_t* src = static_cast<const std::uint8_t*>(data);
  if (bulk && inFrame && length > maxFrameSize) {
    followUnderlying();
    // Fill and close the open frame if it has data already, so that the
    // frames cut where they would in the buffer.
    std::ptrdiff_t held = ptr - (frameStart + headerSize);
    if (held > 0) {
      int k = static_cast<int>(end - ptr);
      OutStream::writeBytes(src, k);
      src += k;
      length -= k;
      endFrame(false);
      startFrame(1);
    }
    // Whole frames while more than a frame is left: the rest (at least one
    // byte) stays for the frame that ends the block, as in the buffer.
    std::uint8_t headers[gatherFrames][8];
    struct iovec iov[2 * gatherFrames];
    PLAT_ASSERT(headerSize <= static_cast<int>(sizeof headers[0]));
    while (length > maxFrameSize) {
      int frames = std::min((length - 1) / maxFrameSize, gatherFrames);
      // The headers are written through this stream's own window, pointed
      // at a header slot for the time of each call.
      for (int i = 0; i < frames; i++) {
        ptr = headers[i];
        end = headers[i] + headerSize;
        writeFrameHeader(maxFrameSize, false, firstFrame);
        if (ptr != end)
          throw FrameException("FramedOutStream::writeBytes: writeFrameHdr error");
        firstFrame = false;
        iov[2 * i] = {headers[i], static_cast<size_t>(headerSize)};
        iov[2 * i + 1] = {const_cast<std::uint8_t*>(src), static_cast<size_t>(maxFrameSize)};
        src += maxFrameSize;
        length -= maxFrameSize;
      }
      // The open frame is empty: give its header room back, write, and open
      // the next frame wherever the underlying stream now writes.
      inFrame = false;
      ptr = end = frameStart;
      bool gathered = underlying->writeGather(iov, 2 * frames);
      if (!gathered) {
        for (int i = 0; i < 2 * frames; i++)
          underlying->writeBytes(iov[i].iov_base, static_cast<int>(iov[i].iov_len));
      }
      startFrame(1);
    }
  }
  OutStream::writeBytes(src, length);
}

std::int64_t FramedOutStream::length() {
  followUnderlying();
  return underlying->length() + (ptr - underlying->getptr());
}

void FramedOutStream::flush() {
  if (!inFrame) {
    underlying->flush();
    ptr = end = underlying->getptr();
    return;
  }
  endFrame(false);
  underlying->flush();
  startFrame(1);
}

int FramedOutStream::spaceAvailable() {
  return std::max(0, underlying->spaceAvailable() - headerSize);
}

int FramedOutStream::overrun(int itemSize, int nItems) {
  endFrame(false);
  startFrame(itemSize);
  std::ptrdiff_t room = end - ptr;
  if (static_cast<std::int64_t>(itemSize) * nItems <= room)
    return nItems;
  return static_cast<int>(room / itemSize);
}

} // namespace rdr
