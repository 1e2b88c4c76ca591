#include "plat/crypto/KeySignature.h"

#include "plat/Hex.h"
#include "plat/LogWriter.h"
#include "plat/Sha.h"
#include "plat/crypto/RsaKey.h"
#include "rdr/MemOutStream.h"

namespace crypto {

static plat::LogWriter vlog("KeySignature");

KeySignature::KeySignature(const RsaKey& key) {
  rdr::MemOutStream out(1024);
  key.writePublic(out);
  compute(static_cast<int>(out.length()), out.data());
}

KeySignature::KeySignature(int length, const void* data) {
  compute(length, data);
}

void KeySignature::compute(int length, const void* data) {
  Sha sha(160);
  sha.update(length, data);
  sha.final(digest_);
  char text[8 * 3];
  int at = 0;
  for (int i = 0; i < 8; i++) {
    if (i > 0)
      text[at++] = '-';
    text[at++] = plat::intToHexDigit(digest_[i] >> 4);
    text[at++] = plat::intToHexDigit(digest_[i] & 15);
  }
  text[at] = '\0';
  text_ = plat::String(text);
}

} // namespace crypto
