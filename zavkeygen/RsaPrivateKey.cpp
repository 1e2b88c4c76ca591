#include "zavkeygen/RsaPrivateKey.h"

#include "plat/Assert.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "plat/crypto/BigNumFields.h"
#include "plat/crypto/RsaException.h"
#include "plat/crypto/SeedRandom.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"
#include "rdr/RandomStream.h"

#include <openssl/rsa.h>

#include <cstring>
#include <memory>
#include <new>

namespace crypto {

static plat::LogWriter vlog("RsaPrivateKey");

RsaPrivateKey::GenProgress::~GenProgress() = default;

void RsaPrivateKey::GenProgress::progress(int, int) {
}

RsaPrivateKey::RsaPrivateKey() = default;

RsaPrivateKey::RsaPrivateKey(const RsaPrivateKey& other) : RsaKey() {
  copyFrom(other);
}

void RsaPrivateKey::copyFrom(const RsaPrivateKey& other) {
  if (this == &other)
    return;
  PLAT_CHECK(other.hasKey());
  BIGNUM* copies[numberCount] = {};
  for (int i = 0; i < numberCount; i++) {
    if (!other.numbers_[i])
      continue;
    copies[i] = BN_dup(other.numbers_[i]);
    if (!copies[i]) {
      for (BIGNUM* n : copies)
        BN_clear_free(n);
      throw std::bad_alloc();
    }
  }
  adopt(copies, nullptr);
}

void RsaPrivateKey::progressTrampoline(int stage, int count, void* arg) {
  static_cast<GenProgress*>(arg)->progress(stage, count);
}

// libcrypto's key-generation callback: forwards the stage and count. An
// exception must not unwind through libcrypto, so it ends the generation.
static int keygenCallback(EVP_PKEY_CTX* ctx) {
  try {
    RsaPrivateKey::progressTrampoline(EVP_PKEY_CTX_get_keygen_info(ctx, 0),
                                      EVP_PKEY_CTX_get_keygen_info(ctx, 1),
                                      EVP_PKEY_CTX_get_app_data(ctx));
    return 1;
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
    return 0;
  }
}

void RsaPrivateKey::generate(GenProgress* progress) {
  vlog.status("Generating RSA private key");
  seedRandom();
  clear();
  // A key that the key file's reader would refuse is not worth hours of
  // prime search.
  int bits = rsaModulusBits.getValue();
  if (bits < static_cast<int>(minBits) || bits > static_cast<int>(maxBits))
    throw RsaException("Unsupported RSA key length");

  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr), EVP_PKEY_CTX_free);
  std::unique_ptr<BIGNUM, decltype(&BN_free)> exponent(BN_new(), BN_free);
  EVP_PKEY* key = nullptr;
  if (!ctx || !exponent || !BN_set_word(exponent.get(), RSA_F4) ||
      EVP_PKEY_keygen_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), bits) <= 0 ||
      EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx.get(), exponent.get()) <= 0)
    throw RsaException("Failed to generate key");
  if (progress) {
    EVP_PKEY_CTX_set_app_data(ctx.get(), progress);
    EVP_PKEY_CTX_set_cb(ctx.get(), keygenCallback);
  }
  if (EVP_PKEY_generate(ctx.get(), &key) <= 0 || !key)
    throw RsaException("Failed to generate key");

  BIGNUM* numbers[numberCount] = {};
  for (int i = 0; i < numberCount; i++) {
    if (!EVP_PKEY_get_bn_param(key, numberParam(static_cast<Number>(i)), &numbers[i])) {
      for (BIGNUM* n : numbers)
        BN_clear_free(n);
      EVP_PKEY_free(key);
      throw RsaException("Failed to generate key");
    }
  }
  adopt(numbers, key);
  check();
}

void RsaPrivateKey::check() {
  RsaKey publicKey;
  publicKey.setPublicFrom(*this);
  selfTest(publicKey);
}

void RsaPrivateKey::selfTest(RsaKey& publicKey) {
  const int testLength = 48;
  std::uint8_t plain[testLength];
  {
    rdr::RandomStream random;
    random.readBytes(plain, testLength);
  }
  rdr::MemOutStream encrypted(1024);
  publicKey.publicEncrypt(encrypted, testLength, plain);

  // A block that the private half cannot decrypt at all is a mismatch too.
  plat::MBuf<unsigned char> result;
  try {
    rdr::MemInStream in(encrypted.data(), static_cast<int>(encrypted.length()));
    privateDecrypt(in, result);
  } catch (RsaException& e) {
    vlog.debug("%s", e.str());
    result.clear();
  }
  bool match = result.size() == testLength && memcmp(result.data(), plain, testLength) == 0;
  result.clear();
  if (!match)
    throw RsaException("RSA keys do not match");
  vlog.debug("RSA keys match");
}

bool RsaPrivateKey::readPrivate(rdr::InStream& in) {
  if (!readPublicFields(in))
    return false;
  if (!bigNumReadF(in, numbers_[D], fullLength(bitsRead_), reader_))
    return false;
  for (int i = P; i < numberCount; i++)
    if (!bigNumReadF(in, numbers_[i], halfLength(bitsRead_), reader_))
      return false;
  bitsRead_ = 0;
  return true;
}

void RsaPrivateKey::writePrivate(rdr::OutStream& out) const {
  PLAT_CHECK(hasKey() && hasPrivateNumbers());
  writePublic(out);
  std::uint32_t bits = static_cast<std::uint32_t>(getBits());
  bigNumWriteF(out, numbers_[D], fullLength(bits));
  for (int i = P; i < numberCount; i++)
    bigNumWriteF(out, numbers_[i], halfLength(bits));
}

} // namespace crypto
