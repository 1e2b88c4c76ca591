// SHA-224, SHA-256, SHA-384 and SHA-512 as plain routines over one context
// record for all four variants. digestLength (28, 32, 48 or 64 bytes)
// selects the variant: 28 and 32 run the 32-bit-word engine with 64-byte
// blocks, 48 and 64 the 64-bit-word engine with 128-byte blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crypto {

struct Sha2Context {
  uint64_t length; // message length in bytes
  union {
    uint32_t s32[8];
    uint64_t s64[8];
  } state;
  unsigned char block[128];
  int digestLength; // bytes: 28, 32, 48 or 64
};

// Selects the variant by its digest length in bytes or in bits (28 or 224,
// 32 or 256, 48 or 384, 64 or 512) and begins it: 0. Any other value leaves
// the context alone: 1.
int sha2Begin(int digestLength, Sha2Context* ctx);
void sha2Update(const void* data, size_t length, Sha2Context* ctx);
// Writes digestLength bytes (SHA-224 and SHA-384 truncated).
void sha2Final(unsigned char* digest, Sha2Context* ctx);
// begin, update, final in one call; 1 (nothing written) when the digest
// length is not accepted, else 0.
int sha2(unsigned char* digest, int digestLength, const void* data, size_t length);

void sha224Begin(Sha2Context* ctx);
void sha224Final(unsigned char* digest, Sha2Context* ctx);
void sha224(unsigned char* digest, const void* data, size_t length);
void sha256Begin(Sha2Context* ctx);
void sha256Final(unsigned char* digest, Sha2Context* ctx);
void sha256(unsigned char* digest, const void* data, size_t length);
void sha384Begin(Sha2Context* ctx);
void sha384Final(unsigned char* digest, Sha2Context* ctx);
void sha384(unsigned char* digest, const void* data, size_t length);
void sha512Begin(Sha2Context* ctx);
void sha512Final(unsigned char* digest, Sha2Context* ctx);
void sha512(unsigned char* digest, const void* data, size_t length);

} // namespace crypto
