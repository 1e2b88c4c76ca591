// Writes messages as length-prefixed frames straight into the buffer of an
// underlying output stream (borrowed, never owned). Each frame's header room
// is reserved when the frame opens and filled in by writeFrameHeader() when it
// closes; the last frame of a message is marked as such.
//
// The underlying stream may write its buffer out while a frame is open (the
// descriptor manager does so in the background for a non-waiting descriptor
// stream), which moves its write pointer back to the buffer's start; the open
// frame then follows it. Nothing else may write to or reallocate the
// underlying buffer while a frame is open.
//
// Bulk connections (file transfer, chat) pass bulk = true: every frame then
// opens with room for a whole frame, so frames are full-sized and the
// underlying buffer grows to hold them; give such a connection's descriptor
// stream an output buffer of bulkBufferSize bytes (FdIo's outBufSize), which
// holds exactly four whole version-4 frames and writes them in one call.
// A bulk stream given a block longer than a frame writes the block's whole
// frames straight from the caller's memory (headers and data in one
// gathering write, behind whatever is buffered) instead of copying them into
// the buffer; the frames on the wire are the same either way.
#pragma once

#include "rdr/OutStream.h"

namespace rdr {

class FramedOutStream : public OutStream {
public:
  // The recommended output buffer of a bulk connection's underlying stream.
  static constexpr int bulkBufferSize = 128 * 1024;

  FramedOutStream(OutStream* underlying, int maxFrameSize, int headerSize, bool bulk = false);
  ~FramedOutStream() override;

  // Starts a message and opens its first frame.
  void startMsg();
  // Closes the open frame as the last of the message; flushUnderlying also
  // writes the underlying stream out.
  void endMsg(bool flushUnderlying);
  // Switches to another underlying stream; only between messages.
  void setUnderlying(OutStream* s);
  // Whether every frame opens with room for a whole frame; may change
  // between frames.
  void setBulk(bool on) { bulk = on; }
  bool isBulk() const { return bulk; }

  void writeBytes(const void* data, int length) override;
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
  bool bulk;
  OutStream* underlying;

private:
  void startFrame(int n);
  void endFrame(bool lastFrame);
  // Moves the open frame to the underlying stream's write pointer when a
  // write-out has moved that pointer since the frame opened.
  void followUnderlying();
  // Sets end for a frame whose data starts at ptr.
  void setFrameEnd();

  // The most frames handed to one gathering write.
  static constexpr int gatherFrames = 32;

  // Where the open frame's header room lies in the underlying buffer.
  std::uint8_t* frameStart = nullptr;
};

} // namespace rdr
