// The sending side of a protocol connection: writes messages on an output
// stream. A connection kind derives from it and frames each message between
// startMsg and endMsg. The protocol parameters and the stream belong to the
// connection. Texts are written as a U8 length (at most 255) and that many
// bytes.
#pragma once

#include <cstdint>

namespace rdr {
class OutStream;
}

namespace rfb {

class ProtocolParams;

class MsgWriter {
public:
  MsgWriter(ProtocolParams* cp, rdr::OutStream* os);
  virtual ~MsgWriter();
  MsgWriter(const MsgWriter&) = delete;
  MsgWriter& operator=(const MsgWriter&) = delete;

  // Type 17: name, U8 flag.
  virtual void writeNameFlag(const char* name, uint8_t flag);
  // Type 18: name; the caller writes the body on the stream returned and
  // ends the message with endMsg.
  virtual rdr::OutStream* startNamedMsg(const char* name);
  // How many bytes the stream takes now for the body of a type-18 message
  // of that name (0 when not even the header fits).
  virtual int namedMsgSpace(const char* name);
  // Type 19: text, U8 flag.
  virtual void writeTextFlag(const char* text, uint8_t flag);
  // Type 20: U32 value, U8 flag.
  virtual void writeValueFlag(uint32_t value, uint8_t flag);
  virtual void startMsg(int type) = 0;
  virtual void endMsg() = 0;

protected:
  void writeText(const char* text);

  ProtocolParams* cp_;
  rdr::OutStream* os_;
};

} // namespace rfb
