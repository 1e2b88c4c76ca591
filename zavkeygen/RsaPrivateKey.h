// The server's RSA private key: generation with progress reports, the check
// that its public and private halves belong together, and the private key
// form kept in the key file (the public form followed by d, p, q, dmp1, dmq1
// and iqmp as fixed-length big-endian fields).
#pragma once

#include "plat/crypto/RsaKey.h"

namespace crypto {

class RsaPrivateKey : public RsaKey {
public:
  // Told of every step of libcrypto's prime search during generate().
  class GenProgress {
  public:
    virtual ~GenProgress();
    virtual void progress(int stage, int count);
  };

  RsaPrivateKey();
  RsaPrivateKey(const RsaPrivateKey& other);
  RsaPrivateKey& operator=(const RsaPrivateKey&) = delete;
  // Replaces this key by a copy of other's numbers.
  void copyFrom(const RsaPrivateKey& other);

  // Replaces the key by a new one of "RSA_Modulus_Bits" bits with public
  // exponent 65537, reporting to progress (which may be null), and checks
  // it. Throws RsaException "Failed to generate key", or "Unsupported RSA key
  // length" for a size outside minBits..maxBits.
  void generate(GenProgress* progress);
  // Throws RsaException "RSA keys do not match" unless a block encrypted
  // with this key's public half decrypts with its private half.
  void check();
  // The encryption test of check() with publicKey as the public half.
  void selfTest(RsaKey& publicKey);

  // Resumable read of the private key form: false while more input is
  // needed, true when complete. The lengths are checked as by readPublic.
  bool readPrivate(rdr::InStream& in);
  // Without the private numbers: plat::AssertionFail.
  void writePrivate(rdr::OutStream& out) const;

  bool privateDecrypt(rdr::InStream& in, plat::MBuf<unsigned char>& result) {
    return decryptWith(in, result, privateDecryptOp);
  }
  void privateEncrypt(rdr::OutStream& out, int length, const void* data) {
    encryptWith(out, length, data, privateEncryptOp);
  }

  // Byte length of p, q, dmp1, dmq1 and iqmp for a modulus of bits bits.
  static int halfLength(std::uint32_t bits) { return static_cast<int>(((bits + 1) / 2 + 7) / 8); }
  static int fullLength(std::uint32_t bits) { return static_cast<int>((bits + 7) / 8); }

  // Hands one step of key generation to the GenProgress given as arg.
  static void progressTrampoline(int stage, int count, void* arg);
};

} // namespace crypto
