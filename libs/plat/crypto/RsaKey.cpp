#include "plat/crypto/RsaKey.h"

#include "plat/Assert.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "plat/crypto/BigNumFields.h"
#include "plat/crypto/RsaException.h"
#include "plat/crypto/SeedRandom.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <climits>
#include <memory>
#include <new>

namespace crypto {

static plat::LogWriter vlog("RsaKey");

plat::IntParameter rsaModulusBits("RSA_Modulus_Bits",
                                  "Total number of bits to use when generating public and "
                                  "private keys",
                                  2048, 512, INT_MAX, true);

// The parameter names of the numbers, in the order of RsaKey::Number.
static const char* const numberParams[RsaKey::numberCount] = {
    OSSL_PKEY_PARAM_RSA_N,         OSSL_PKEY_PARAM_RSA_E,           OSSL_PKEY_PARAM_RSA_D,
    OSSL_PKEY_PARAM_RSA_FACTOR1,   OSSL_PKEY_PARAM_RSA_FACTOR2,     OSSL_PKEY_PARAM_RSA_EXPONENT1,
    OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1};

// The text of libcrypto's oldest queued error; the queue is emptied.
static void libcryptoError(char* text, size_t size) {
  unsigned long err = ERR_get_error();
  ERR_error_string_n(err, text, size);
  ERR_clear_error();
}

const char* RsaKey::numberParam(Number which) {
  return numberParams[which];
}

RsaKey::RsaKey() = default;

RsaKey::~RsaKey() {
  clear();
}

void RsaKey::clear() {
  for (BIGNUM*& n : numbers_) {
    BN_clear_free(n);
    n = nullptr;
  }
  EVP_PKEY_free(key_);
  key_ = nullptr;
  bitsRead_ = 0;
  blockLength_ = 0;
  reader_.reset();
}

void RsaKey::adopt(BIGNUM* numbers[numberCount], EVP_PKEY* key) {
  clear();
  for (int i = 0; i < numberCount; i++)
    numbers_[i] = numbers[i];
  key_ = key;
}

void RsaKey::setPublicFrom(const RsaKey& other) {
  PLAT_CHECK(other.hasKey());
  BIGNUM* n = BN_dup(other.numbers_[N]);
  BIGNUM* e = BN_dup(other.numbers_[E]);
  if (!n || !e) {
    BN_free(n);
    BN_free(e);
    throw std::bad_alloc();
  }
  clear();
  numbers_[N] = n;
  numbers_[E] = e;
}

int RsaKey::getBits() const {
  return numbers_[N] ? BN_num_bits(numbers_[N]) : 0;
}

bool RsaKey::hasPrivateNumbers() const {
  for (int i = D; i < numberCount; i++)
    if (!numbers_[i])
      return false;
  return true;
}

EVP_PKEY* RsaKey::evpKey() {
  if (key_)
    return key_;
  if (!hasKey())
    return nullptr;
  bool pair = hasPrivateNumbers();
  std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> bld(OSSL_PARAM_BLD_new(),
                                                                      OSSL_PARAM_BLD_free);
  if (!bld)
    throw std::bad_alloc();
  for (int i = 0; i < (pair ? int(numberCount) : 2); i++)
    if (!OSSL_PARAM_BLD_push_BN(bld.get(), numberParams[i], numbers_[i]))
      throw std::bad_alloc();
  std::unique_ptr<OSSL_PARAM, decltype(&OSSL_PARAM_free)> params(OSSL_PARAM_BLD_to_param(bld.get()),
                                                                 OSSL_PARAM_free);
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr), EVP_PKEY_CTX_free);
  EVP_PKEY* key = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) <= 0 ||
      EVP_PKEY_fromdata(ctx.get(), &key, pair ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                        params.get()) <= 0) {
    char text[256];
    libcryptoError(text, sizeof(text));
    throw RsaException("RSA key not usable: %s", text);
  }
  key_ = key;
  return key_;
}

void RsaKey::writePublic(rdr::OutStream& out) const {
  PLAT_CHECK(hasKey());
  int bits = getBits();
  out.writeU32(static_cast<std::uint32_t>(bits));
  bigNumWriteF(out, numbers_[N], (bits + 7) / 8);
  bigNumWriteF(out, numbers_[E], (bits + 7) / 8);
}

bool RsaKey::readPublicFields(rdr::InStream& in) {
  if (bitsRead_ == 0) {
    if (reader_.idle())
      clear();
    if (!reader_.read(in, 4))
      return false;
    const unsigned char* p = reader_.data();
    std::uint32_t bits = (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
                         (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
    reader_.reset();
    if (bits < minBits || bits > maxBits)
      throw RsaException("Unsupported RSA key length");
    bitsRead_ = bits;
  }
  int length = static_cast<int>((bitsRead_ + 7) / 8);
  if (!numbers_[N]) {
    if (!bigNumReadF(in, numbers_[N], length, reader_))
      return false;
    if (static_cast<std::uint32_t>(BN_num_bits(numbers_[N])) != bitsRead_) {
      clear();
      throw RsaException("Unsupported RSA key length");
    }
  }
  return bigNumReadF(in, numbers_[E], length, reader_);
}

bool RsaKey::readPublic(rdr::InStream& in) {
  if (!readPublicFields(in))
    return false;
  bitsRead_ = 0;
  return true;
}

void RsaKey::encryptWith(rdr::OutStream& out, int length, const void* data, Operation op) {
  seedRandom();
  EVP_PKEY* key = evpKey();
  if (!key)
    throw RsaException("RSA encrypt/sign error: %s", "no key");
  int size = getSize();
  std::unique_ptr<unsigned char[]> block(new unsigned char[size]);
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr), EVP_PKEY_CTX_free);
  ERR_clear_error();
  size_t outLength = size;
  const unsigned char* in = static_cast<const unsigned char*>(data);
  bool ok = false;
  if (ctx && length >= 0) {
    if (op == publicEncryptOp)
      ok = EVP_PKEY_encrypt_init(ctx.get()) > 0 &&
           EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) > 0 &&
           EVP_PKEY_encrypt(ctx.get(), block.get(), &outLength, in, length) > 0;
    else if (op == privateEncryptOp)
      ok = EVP_PKEY_sign_init(ctx.get()) > 0 &&
           EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) > 0 &&
           EVP_PKEY_sign(ctx.get(), block.get(), &outLength, in, length) > 0;
  }
  if (!ok || outLength != static_cast<size_t>(size)) {
    char text[256];
    libcryptoError(text, sizeof(text));
    throw RsaException("RSA encrypt/sign error: %s", text);
  }
  out.writeU16(static_cast<std::uint16_t>(size));
  out.writeBytes(block.get(), size);
}

bool RsaKey::decryptWith(rdr::InStream& in, plat::MBuf<unsigned char>& result, Operation op) {
  EVP_PKEY* key = evpKey();
  if (!key)
    throw RsaException("RSA decrypt/check error: %s", "no key");
  int size = getSize();
  if (blockLength_ == 0) {
    if (!reader_.read(in, 2))
      return false;
    int m = (reader_.data()[0] << 8) | reader_.data()[1];
    reader_.reset();
    if (m != size)
      throw RsaException("RSA decrypt/check error: bad length %d (should be %d)", m, size);
    blockLength_ = m;
  }
  if (!reader_.read(in, blockLength_))
    return false;
  std::unique_ptr<unsigned char[]> output(new unsigned char[size]);
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr), EVP_PKEY_CTX_free);
  ERR_clear_error();
  size_t outLength = size;
  bool ok = false;
  if (ctx) {
    if (op == privateDecryptOp)
      ok = EVP_PKEY_decrypt_init(ctx.get()) > 0 &&
           EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) > 0 &&
           EVP_PKEY_decrypt(ctx.get(), output.get(), &outLength, reader_.data(), blockLength_) > 0;
    else if (op == publicDecryptOp)
      ok = EVP_PKEY_verify_recover_init(ctx.get()) > 0 &&
           EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) > 0 &&
           EVP_PKEY_verify_recover(ctx.get(), output.get(), &outLength, reader_.data(),
                                   blockLength_) > 0;
  }
  reader_.reset();
  blockLength_ = 0;
  if (!ok || outLength > static_cast<size_t>(size)) {
    char text[256];
    libcryptoError(text, sizeof(text));
    throw RsaException("RSA decrypt/check error: %s", text);
  }
  result.assign(output.get(), static_cast<int>(outLength));
  OPENSSL_cleanse(output.get(), size);
  in.checkpoint();
  return true;
}

} // namespace crypto
