// Reads messages made of length-prefixed frames from an underlying input
// stream (borrowed, never owned). The current frame's bytes in the underlying
// window are this stream's window, so reads may span frames without copying.
// Its checkpoint is also the underlying stream's, so a read that blocks in the
// middle of a message rewinds both and can be repeated when more data arrive.
#pragma once

#include "rdr/InStream.h"

namespace rdr {

class OutStream;

class FramedInStream : public InStream {
public:
  explicit FramedInStream(InStream* underlying);
  ~FramedInStream() override;

  // Reads the first frame header when no message is started.
  void startMsg();
  // True when the whole message has been read (waits for the next header).
  bool atEndOfMsg();
  void skipToEndOfMsg();
  // Writes the rest of the message to out.
  void copyToEndOfMsg(OutStream* out);
  // Ends the message; throws FrameException when data are left in it.
  void endMsg();
  // Switches to another underlying stream; only between messages.
  void setUnderlying(InStream* s);
  bool inMessage() const { return inMsg; }

  std::int64_t pos() const override;
  void checkpoint() override;
  void rewind() override;

protected:
  bool fill(int n) override;
  // Reads one frame header from the underlying stream, waiting for it.
  virtual void readFrameHeader(int* size, bool* last) = 0;

  InStream* underlying;

private:
  // Hands the bytes consumed since the last call back to the underlying
  // stream and counts them off the frame.
  void sync();
  // Makes the frame's bytes in the underlying window this stream's window.
  void expose();
  bool nextFrame(bool wait);
  // The part of fill() that reads from the underlying stream; true when the
  // window can be exposed again.
  bool fillFromUnderlying(int n);

  bool inMsg = false;
  bool lastFrame = false;
  bool savedLastFrame = false;
  int frameSize = 0;
  int savedFrameSize = 0;
  std::int64_t offset = 0;
  std::int64_t savedOffset = 0;
};

} // namespace rdr
