// The file-transfer extension of the configuration tool, named
// "FileTransfer": it accepts every message and, as a sink on the loopback
// stream, never asks for compressed data. Its connections are the loopback
// streams of the socket server, each identified by its Connection object.
#pragma once

#include "ft/Extension.h"
#include "ft/proxy/FTMsgWriter.h"
#include "rfb/MsgHandler.h"

#include <memory>

namespace rdr {
class FramedOutStream;
}

namespace ft {
namespace proxy {

class Extension : public ft::Extension {
public:
  // One loopback stream as the extension sees it; owns its message writer,
  // which writes into the stream's framed output (borrowed).
  class Connection : public rfb::MsgHandler {
  public:
    explicit Connection(rdr::FramedOutStream* os) : writer(new FTMsgWriter(&cp_, os)) {}
    rfb::MsgWriter* getWriter() override { return writer.get(); }

  private:
    std::unique_ptr<FTMsgWriter> writer;
  };

  const char* getName() const override { return "FileTransfer"; }
  bool acceptMessage(ConnectionId) override { return true; }
  bool useCompression(ConnectionId) override { return false; }
};

} // namespace proxy
} // namespace ft
