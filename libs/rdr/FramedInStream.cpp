#include "rdr/FramedInStream.h"

#include "plat/LogWriter.h"
#include "rdr/OutStream.h"

static plat::LogWriter vlog("FramedInStream");

namespace rdr {

FramedInStream::FramedInStream(InStream* underlying_) : underlying(underlying_) {
  expose();
}

FramedInStream::~FramedInStream() = default;

void FramedInStream::sync() {
  if (!underlying)
    return;
  int consumed = static_cast<int>(ptr - underlying->getptr());
  frameSize -= consumed;
  PLAT_ASSERT(frameSize >= 0);
  offset += consumed;
  underlying->setPtr(ptr);
}

void FramedInStream::expose() {
  if (!underlying) {
    ptr = end = nullptr;
    return;
  }
  ptr = underlying->getptr();
  if (underlying->avail() > frameSize)
    end = ptr + frameSize;
  else
    end = underlying->getend();
  PLAT_ASSERT(end >= ptr);
}

void FramedInStream::startMsg() {
  PLAT_ASSERT(underlying);
  if (inMsg)
    return;
  try {
    readFrameHeader(&frameSize, &lastFrame);
  } catch (plat::Exception&) {
    // The underlying stream is back at its checkpoint; follow it.
    expose();
    throw;
  }
  expose();
  inMsg = true;
  checkpoint();
}

bool FramedInStream::nextFrame(bool wait) {
  sync();
  while (!lastFrame && frameSize == 0) {
    if (underlying->avail() == 0 && !underlying->overrun(wait, 1))
      return false;
    readFrameHeader(&frameSize, &lastFrame);
  }
  expose();
  return true;
}

bool FramedInStream::fill(int n) {
  PLAT_ASSERT(inMsg);
  sync();
  if (frameSize < n && end > ptr)
    return true; // the reader takes what the frame still has and comes back
  bool got;
  try {
    got = fillFromUnderlying(n);
  } catch (EndOfMsg&) {
    throw;
  } catch (plat::Exception&) {
    // The underlying stream may have consumed header bytes or moved its
    // buffer: go back to the checkpoint so that the window is valid again and
    // the read can be repeated.
    rewind();
    throw;
  }
  if (got)
    expose();
  return got;
}

bool FramedInStream::fillFromUnderlying(int n) {
  if (frameSize < n) {
    if (!nextFrame(false))
      return false;
    if (frameSize == 0)
      throw EndOfMsg();
    if (underlying->avail() > 0)
      return true;
    return underlying->overrun(false, 1);
  }
  if (underlying->avail() >= n)
    return true;
  return underlying->overrun(false, n);
}

void FramedInStream::checkpoint() {
  if (!inMsg)
    return;
  sync();
  underlying->checkpoint();
  checkpointPos = pos();
  savedLastFrame = lastFrame;
  savedFrameSize = frameSize;
  savedOffset = offset;
}

void FramedInStream::rewind() {
  if (!underlying)
    return;
  if (inMsg) {
    underlying->rewind();
    lastFrame = savedLastFrame;
    frameSize = savedFrameSize;
    offset = savedOffset;
  }
  expose();
}

std::int64_t FramedInStream::pos() const {
  if (!underlying)
    return offset;
  return offset + (ptr - underlying->getptr());
}

bool FramedInStream::atEndOfMsg() {
  PLAT_ASSERT(inMsg);
  try {
    nextFrame(true);
  } catch (plat::Exception&) {
    rewind();
    throw;
  }
  return frameSize == 0;
}

void FramedInStream::skipToEndOfMsg() {
  while (!atEndOfMsg()) {
    if (ptr == end)
      overrun(true, 1);
    ptr = end;
    checkpoint();
  }
}

void FramedInStream::copyToEndOfMsg(OutStream* out) {
  while (!atEndOfMsg()) {
    if (ptr == end)
      overrun(true, 1);
    out->writeBytes(ptr, static_cast<int>(end - ptr));
    ptr = end;
    checkpoint();
  }
}

void FramedInStream::endMsg() {
  if (!atEndOfMsg())
    throw FrameException("FramedInStream::endMsg: data left in msg");
  checkpoint();
  inMsg = false;
}

void FramedInStream::setUnderlying(InStream* s) {
  PLAT_ASSERT(!inMsg);
  underlying = s;
  expose();
}

} // namespace rdr
