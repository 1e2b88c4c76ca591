// The key signature: a short fingerprint of a public key that users compare
// by eye, the first 8 bytes of the SHA-1 digest of the key's public wire form
// as lowercase hex pairs joined by "-" (23 characters).
#pragma once

#include "plat/MBuf.h"
#include "plat/String.h"

namespace crypto {

class RsaKey;

class KeySignature {
public:
  // Over the key's public wire form.
  explicit KeySignature(const RsaKey& key);
  // Over the given bytes.
  KeySignature(int length, const void* data);

  // The 20-byte SHA-1 digest.
  const plat::MBuf<unsigned char>& getDigest() const { return digest_; }
  const char* getText() const { return text_.c_str(); }

private:
  void compute(int length, const void* data);

  plat::MBuf<unsigned char> digest_;
  plat::String text_;
};

} // namespace crypto
