// SHA-1 as plain routines over a caller-owned context record: begin, any
// number of updates, final. The context holds no pointers and may be copied.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crypto {

struct Sha1Context {
  uint32_t lengthLow;  // message length in bytes, low 32 bits
  uint32_t lengthHigh; // message length in bytes, high 32 bits
  uint32_t state[5];
  unsigned char block[64];
};

constexpr int sha1DigestLength = 20;

void sha1Begin(Sha1Context* ctx);
// Absorbs length bytes; any length, any number of calls.
void sha1Update(const void* data, size_t length, Sha1Context* ctx);
// Pads, appends the bit length and writes the 20-byte digest. The context
// must be begun again before it is reused.
void sha1Final(unsigned char* digest, Sha1Context* ctx);
// begin, update, final in one call.
void sha1(unsigned char* digest, const void* data, size_t length);

} // namespace crypto
