// The message writer of the loopback file-transfer stream: every message,
// file-transfer or other, fills one framed message of the stream, which is
// written out as soon as the message ends. The framed stream is borrowed from
// the socket server's entry for the stream.
#pragma once

#include "rfb/MsgWriter.h"

namespace rdr {
class FramedOutStream;
}

namespace ft {
namespace proxy {

class FTMsgWriter : public rfb::MsgWriter {
public:
  FTMsgWriter(rfb::ProtocolParams* cp, rdr::FramedOutStream* os);

  // The stream carries only file-transfer messages, so no name goes before
  // the body.
  rdr::OutStream* startNamedMsg(const char* name) override;
  void startMsg(int type) override;
  // Ends the framed message and writes the stream out.
  void endMsg() override;

private:
  rdr::FramedOutStream* fos;
};

} // namespace proxy
} // namespace ft
