#include "rfb/MsgWriter.h"

#include "rdr/OutStream.h"

#include <cstring>

namespace rfb {

enum { msgNameFlag = 17, msgNamed = 18, msgTextFlag = 19, msgValueFlag = 20 };

static int textLength(const char* text) {
  size_t n = strlen(text);
  return n > 255 ? 255 : int(n);
}

MsgWriter::MsgWriter(ProtocolParams* cp, rdr::OutStream* os) : cp_(cp), os_(os) {
}

MsgWriter::~MsgWriter() = default;

void MsgWriter::writeText(const char* text) {
  int n = textLength(text);
  os_->writeU8(uint8_t(n));
  os_->writeBytes(text, n);
}

void MsgWriter::writeNameFlag(const char* name, uint8_t flag) {
  startMsg(msgNameFlag);
  writeText(name);
  os_->writeU8(flag);
  endMsg();
}

rdr::OutStream* MsgWriter::startNamedMsg(const char* name) {
  startMsg(msgNamed);
  writeText(name);
  return os_;
}

int MsgWriter::namedMsgSpace(const char* name) {
  int space = os_->spaceAvailable() - textLength(name) - 3;
  return space < 0 ? 0 : space;
}

void MsgWriter::writeTextFlag(const char* text, uint8_t flag) {
  startMsg(msgTextFlag);
  writeText(text);
  os_->writeU8(flag);
  endMsg();
}

void MsgWriter::writeValueFlag(uint32_t value, uint8_t flag) {
  startMsg(msgValueFlag);
  os_->writeU32(value);
  os_->writeU8(flag);
  endMsg();
}

} // namespace rfb
