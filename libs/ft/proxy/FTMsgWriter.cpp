#include "ft/proxy/FTMsgWriter.h"

#include "rdr/FramedOutStream.h"

namespace ft {
namespace proxy {

FTMsgWriter::FTMsgWriter(rfb::ProtocolParams* cp, rdr::FramedOutStream* os)
    : rfb::MsgWriter(cp, os), fos(os) {
}

rdr::OutStream* FTMsgWriter::startNamedMsg(const char*) {
  fos->startMsg();
  return fos;
}

void FTMsgWriter::startMsg(int) {
  fos->startMsg();
}

void FTMsgWriter::endMsg() {
  fos->endMsg(true);
}

} // namespace proxy
} // namespace ft
