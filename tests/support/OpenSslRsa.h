// RSA keys made and taken apart with OpenSSL alone, so that tests can build
// the expected wire forms independently of the code under test.
#pragma once

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace testing_support {

struct PkeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;

struct BnFree {
  void operator()(BIGNUM* b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

inline Pkey opensslGenerateRsa(unsigned bits) {
  Pkey key(EVP_RSA_gen(bits));
  if (!key)
    throw std::runtime_error("EVP_RSA_gen failed");
  return key;
}

inline Bn opensslNumber(EVP_PKEY* key, const char* name) {
  BIGNUM* bn = nullptr;
  if (!EVP_PKEY_get_bn_param(key, name, &bn))
    throw std::runtime_error(name);
  return Bn(bn);
}

// The number as exactly length big-endian bytes.
inline void appendNumber(std::vector<std::uint8_t>& out, const BIGNUM* bn, int length) {
  std::vector<std::uint8_t> bytes(length);
  if (BN_bn2binpad(bn, bytes.data(), length) != length)
    throw std::runtime_error("number too long");
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// Bit length of n (4 bytes), n and e each of (bits + 7) / 8 bytes.
inline std::vector<std::uint8_t> opensslPublicForm(EVP_PKEY* key) {
  Bn n = opensslNumber(key, OSSL_PKEY_PARAM_RSA_N);
  Bn e = opensslNumber(key, OSSL_PKEY_PARAM_RSA_E);
  int bits = BN_num_bits(n.get());
  std::vector<std::uint8_t> out = {std::uint8_t(bits >> 24), std::uint8_t(bits >> 16),
                                   std::uint8_t(bits >> 8), std::uint8_t(bits)};
  appendNumber(out, n.get(), (bits + 7) / 8);
  appendNumber(out, e.get(), (bits + 7) / 8);
  return out;
}

// The public form, then d at full length and p, q, dmp1, dmq1, iqmp at half
// length ((bits + 1) / 2 + 7) / 8.
inline std::vector<std::uint8_t> opensslPrivateForm(EVP_PKEY* key) {
  std::vector<std::uint8_t> out = opensslPublicForm(key);
  int bits = EVP_PKEY_get_bits(key);
  int full = (bits + 7) / 8, half = ((bits + 1) / 2 + 7) / 8;
  appendNumber(out, opensslNumber(key, OSSL_PKEY_PARAM_RSA_D).get(), full);
  for (const char* name :
       {OSSL_PKEY_PARAM_RSA_FACTOR1, OSSL_PKEY_PARAM_RSA_FACTOR2, OSSL_PKEY_PARAM_RSA_EXPONENT1,
        OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1})
    appendNumber(out, opensslNumber(key, name).get(), half);
  return out;
}

// OpenSSL's own raw RSA operation with PKCS #1 v1.5 padding: decrypt
// (private key) or sign (private key, no digest). Empty on failure.
inline std::vector<std::uint8_t> opensslPrivateDecrypt(EVP_PKEY* key,
                                                       const std::vector<std::uint8_t>& block) {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr), EVP_PKEY_CTX_free);
  std::vector<std::uint8_t> out(EVP_PKEY_get_size(key));
  size_t len = out.size();
  if (EVP_PKEY_decrypt_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0 ||
      EVP_PKEY_decrypt(ctx.get(), out.data(), &len, block.data(), block.size()) <= 0)
    return {};
  out.resize(len);
  return out;
}

inline std::vector<std::uint8_t> opensslPrivateSign(EVP_PKEY* key,
                                                    const std::vector<std::uint8_t>& data) {
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr), EVP_PKEY_CTX_free);
  std::vector<std::uint8_t> out(EVP_PKEY_get_size(key));
  size_t len = out.size();
  if (EVP_PKEY_sign_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0 ||
      EVP_PKEY_sign(ctx.get(), out.data(), &len, data.data(), data.size()) <= 0)
    return {};
  out.resize(len);
  return out;
}

} // namespace testing_support
