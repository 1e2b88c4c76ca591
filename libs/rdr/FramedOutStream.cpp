#include "rdr/FramedOutStream.h"

#include "plat/LogWriter.h"
#include "rdr/Exception.h"

#include <algorithm>
#include <cstdio>

static plat::LogWriter vlog("FramedOutStream");

namespace rdr {

FramedOutStream::FramedOutStream(OutStream* underlying_, int maxFrameSize_, int headerSize_)
    : maxFrameSize(maxFrameSize_), headerSize(headerSize_), underlying(underlying_) {
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
  if (underlying->getend() - underlying->getptr() < headerSize + n)
    underlying->overrun(headerSize + n, 1);
  inFrame = true;
  ptr = underlying->getptr() + headerSize;
  // Measured as a distance: ptr + maxFrameSize may lie past the underlying
  // buffer, where not even a pointer may be formed.
  end = ptr + std::min<std::ptrdiff_t>(underlying->getend() - ptr, maxFrameSize);
}

void FramedOutStream::endFrame(bool lastFrame) {
  if (!inFrame)
    throw FrameException("FramedOutStream::endFrame: not in frame");
  std::uint8_t* header = underlying->getptr();
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

std::int64_t FramedOutStream::length() {
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
