// An incremental SHA-1, SHA-224 or SHA-256 digest, chosen by its length in
// bits; used by the key signature. The object owns its context.
#pragma once

#include "plat/MBuf.h"

#include <memory>

namespace crypto {

struct Sha1Context;
struct Sha2Context;

class Sha {
public:
  // digestBits must be 160, 224 or 256; any other value is a fatal assertion.
  explicit Sha(int digestBits);
  ~Sha();
  Sha(const Sha&) = delete;
  Sha& operator=(const Sha&) = delete;

  void update(int length, const void* data);
  // Makes buffer exactly digestBits / 8 bytes long and writes the digest into
  // it. The object must not be updated afterwards.
  void final(plat::MBuf<unsigned char>& buffer);

  int getDigestBits() const { return digestBits_; }

private:
  std::unique_ptr<Sha1Context> sha1_;
  std::unique_ptr<Sha2Context> sha2_;
  int digestBits_;
};

} // namespace crypto
