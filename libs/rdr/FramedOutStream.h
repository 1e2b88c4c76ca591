// Writes messages as length-prefixed frames straight into the buffer of an
// underlying output stream (borrowed, never owned). Each frame's header room
// is reserved when the frame opens and filled in by writeFrameHeader() when it
// closes; the last frame of a message is marked as such.
#pragma once

#include "rdr/OutStream.h"

namespace rdr {

class FramedOutStream : public OutStream {
public:
  FramedOutStream(OutStream* underlying, int maxFrameSize, int headerSize);
  ~FramedOutStream() override;

  // Starts a message and opens its first frame.
  void startMsg();
  // Closes the open frame as the last of the message; flushUnderlying also
  // writes the underlying stream out.
  void endMsg(bool flushUnderlying);
  // Switches to another underlying stream; only between messages.
  void setUnderlying(OutStream* s);

  std::int64_t length() override;
  // Closes the open frame, flushes the underlying stream and opens a new
  // frame of the same message. Between messages it only flushes.
  void flush() override;
  int spaceAvailable() override;
  int overrun(int itemSize, int nItems) override;

protected:
  // Writes the header through this stream's own window, which starts at the
  // header room of the frame being closed.
  virtual void writeFrameHeader(int dataLength, bool lastFrame, bool firstFrame) = 0;

  int maxFrameSize;
  int headerSize;
  bool inFrame = false;
  bool firstFrame = true;
  OutStream* underlying;

private:
  void startFrame(int n);
  void endFrame(bool lastFrame);
};

} // namespace rdr
