// The sending side of one protocol connection: writes messages on an output
// stream it borrows. Named messages (type 18) carry a protocol extension's
// messages; a writer for a stream of framed messages overrides them so that
// each extension message fills one framed message.
#pragma once

#include <cstdint>

namespace rdr {
class OutStream;
}

namespace rfb {

class MsgWriter {
public:
  static constexpr std::uint8_t namedMsgType = 18;

  explicit MsgWriter(rdr::OutStream* os);
  virtual ~MsgWriter();
  MsgWriter(const MsgWriter&) = delete;
  MsgWriter& operator=(const MsgWriter&) = delete;

  // Begins a type-18 message: the name as a U8 length (at most 255) and that
  // many bytes. The caller writes the body and calls endMsg.
  virtual rdr::OutStream* startNamedMsg(const char* name);
  // Bytes the stream can take now for the body of a named message: its free
  // space less the name's length less 3, never below 0.
  virtual int namedMsgSpace(const char* name);
  virtual void startMsg(int type) = 0;
  virtual void endMsg() = 0;

protected:
  rdr::OutStream* os;
};

} // namespace rfb
