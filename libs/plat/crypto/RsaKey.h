// An RSA key held as libcrypto big numbers, with its wire forms on the byte
// streams: the public key form (bit length, n, e), resumable reading of it
// and of RSA blocks, and the RSA operations with PKCS #1 v1.5 padding. The
// key owns its numbers and the libcrypto key object built from them.
#pragma once

#include "plat/MBuf.h"
#include "plat/crypto/ByteReader.h"

#include <openssl/bn.h>
#include <openssl/evp.h>

#include <cstdint>

namespace plat {
class IntParameter;
}
namespace rdr {
class InStream;
class OutStream;
} // namespace rdr

namespace crypto {

// "RSA_Modulus_Bits": the size of generated keys.
extern plat::IntParameter rsaModulusBits;

class RsaKey {
public:
  // The libcrypto RSA function that encryptWith and decryptWith apply.
  enum Operation { publicEncryptOp, publicDecryptOp, privateEncryptOp, privateDecryptOp };
  // The numbers of a key, public ones first.
  enum Number { N, E, D, P, Q, DMP1, DMQ1, IQMP, numberCount };

  // Keys read from a file or the wire must announce a modulus in this range;
  // the upper bound keeps a hostile length from costing memory or time.
  static constexpr std::uint32_t minBits = 512;
  static constexpr std::uint32_t maxBits = 16384;

  RsaKey();
  ~RsaKey();
  RsaKey(const RsaKey&) = delete;
  RsaKey& operator=(const RsaKey&) = delete;

  // Drops the key and abandons any read in progress.
  void clear();
  // True when n and e are there.
  bool hasKey() const { return numbers_[N] && numbers_[E] && bitsRead_ == 0; }
  // Replaces this key by copies of other's n and e.
  void setPublicFrom(const RsaKey& other);
  // Significant bits of n; 0 without a key.
  int getBits() const;
  // Bytes of an RSA block: (bits + 7) / 8.
  int getSize() const { return (getBits() + 7) / 8; }
  // The number, or nullptr when the key lacks it.
  const BIGNUM* getNumber(Number which) const { return numbers_[which]; }

  // U32 bit length, then n and e as fixed fields of (bits + 7) / 8 bytes.
  // Without a key: plat::AssertionFail.
  void writePublic(rdr::OutStream& out) const;
  // Resumable read of the public form: false while more input is needed,
  // true when the key is complete. A length outside minBits..maxBits, or a
  // modulus whose size differs from its announced length, throws
  // RsaException "Unsupported RSA key length" before anything is allocated.
  bool readPublic(rdr::InStream& in);

  // One RSA operation on the bytes; writes a U16 block length and the block.
  // Failures throw RsaException "RSA encrypt/sign error: %s".
  void encryptWith(rdr::OutStream& out, int length, const void* data, Operation op);
  // Resumable read of one RSA block and the operation on it: false while
  // more input is needed; true with the output in result. A block length
  // other than the key's size throws "RSA decrypt/check error: bad length %d
  // (should be %d)"; a refused block "RSA decrypt/check error: %s".
  bool decryptWith(rdr::InStream& in, plat::MBuf<unsigned char>& result, Operation op);
  void publicEncrypt(rdr::OutStream& out, int length, const void* data) {
    encryptWith(out, length, data, publicEncryptOp);
  }
  // Recovers the data of a block made with the private key.
  bool publicDecrypt(rdr::InStream& in, plat::MBuf<unsigned char>& result) {
    return decryptWith(in, result, publicDecryptOp);
  }

protected:
  // The public form without finishing the read: the announced length stays
  // in bitsRead_ so that a caller can go on to read further fields.
  bool readPublicFields(rdr::InStream& in);
  // Takes the numbers (all of them, or n and e) and optionally the libcrypto
  // key made from them, replacing the current key.
  void adopt(BIGNUM* numbers[numberCount], EVP_PKEY* key);
  // The libcrypto key for the numbers, made on first use; nullptr without n
  // and e. It is a key pair when every private number is there.
  EVP_PKEY* evpKey();
  bool hasPrivateNumbers() const;
  // libcrypto's parameter name for a number.
  static const char* numberParam(Number which);

  BIGNUM* numbers_[numberCount] = {};
  EVP_PKEY* key_ = nullptr;
  // The bit length announced by a key being read; 0 when no read is pending.
  std::uint32_t bitsRead_ = 0;
  ByteReader reader_;
  // The length of the RSA block being read; 0 when none.
  int blockLength_ = 0;
};

} // namespace crypto
