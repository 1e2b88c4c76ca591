#include "plat/Sha1Context.h"

#include "plat/LogWriter.h"

#include <cstring>

namespace crypto {

static plat::LogWriter vlog("Sha1Context");

static inline uint32_t rotl(uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

static inline uint32_t loadBE32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

static inline void storeBE32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

// The compression function on one 64-byte block. The message schedule is a
// rolling window of 16 words; the four round groups are separate loops so
// that no round has to choose its function.
static inline uint32_t schedule(uint32_t w[16], int t) {
  uint32_t v = rotl(w[(t + 13) & 15] ^ w[(t + 8) & 15] ^ w[(t + 2) & 15] ^ w[t & 15], 1);
  w[t & 15] = v;
  return v;
}

#define SHA1_ROUND(f, k, wt)                                                                       \
  do {                                                                                             \
    uint32_t temp = rotl(a, 5) + (f) + e + (k) + (wt);                                             \
    e = d;                                                                                         \
    d = c;                                                                                         \
    c = rotl(b, 30);                                                                               \
    b = a;                                                                                         \
    a = temp;                                                                                      \
  } while (0)

static void compress(uint32_t state[5], const unsigned char* block) {
  uint32_t w[16];
  for (int i = 0; i < 16; i++)
    w[i] = loadBE32(block + 4 * i);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  int t = 0;
  for (; t < 16; t++)
    SHA1_ROUND((b & c) | (~b & d), 0x5a827999, w[t]);
  for (; t < 20; t++)
    SHA1_ROUND((b & c) | (~b & d), 0x5a827999, schedule(w, t));
  for (; t < 40; t++)
    SHA1_ROUND(b ^ c ^ d, 0x6ed9eba1, schedule(w, t));
  for (; t < 60; t++)
    SHA1_ROUND((b & c) | (b & d) | (c & d), 0x8f1bbcdc, schedule(w, t));
  for (; t < 80; t++)
    SHA1_ROUND(b ^ c ^ d, 0xca62c1d6, schedule(w, t));
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

#undef SHA1_ROUND

void sha1Begin(Sha1Context* ctx) {
  ctx->lengthLow = 0;
  ctx->lengthHigh = 0;
  ctx->state[0] = 0x67452301;
  ctx->state[1] = 0xefcdab89;
  ctx->state[2] = 0x98badcfe;
  ctx->state[3] = 0x10325476;
  ctx->state[4] = 0xc3d2e1f0;
}

void sha1Update(const void* data, size_t length, Sha1Context* ctx) {
  // An empty piece may come without a buffer at all.
  if (length == 0)
    return;
  const unsigned char* p = static_cast<const unsigned char*>(data);
  size_t used = ctx->lengthLow & 63;
  uint64_t total = (uint64_t(ctx->lengthHigh) << 32 | ctx->lengthLow) + length;
  ctx->lengthLow = static_cast<uint32_t>(total);
  ctx->lengthHigh = static_cast<uint32_t>(total >> 32);
  if (used) {
    size_t take = 64 - used < length ? 64 - used : length;
    memcpy(ctx->block + used, p, take);
    p += take;
    length -= take;
    if (used + take < 64)
      return;
    compress(ctx->state, ctx->block);
  }
  for (; length >= 64; p += 64, length -= 64)
    compress(ctx->state, p);
  if (length)
    memcpy(ctx->block, p, length);
}

void sha1Final(unsigned char* digest, Sha1Context* ctx) {
  uint64_t bits = (uint64_t(ctx->lengthHigh) << 32 | ctx->lengthLow) << 3;
  size_t used = ctx->lengthLow & 63;
  ctx->block[used++] = 0x80;
  if (used > 56) {
    memset(ctx->block + used, 0, 64 - used);
    compress(ctx->state, ctx->block);
    used = 0;
  }
  memset(ctx->block + used, 0, 56 - used);
  storeBE32(ctx->block + 56, static_cast<uint32_t>(bits >> 32));
  storeBE32(ctx->block + 60, static_cast<uint32_t>(bits));
  compress(ctx->state, ctx->block);
  for (int i = 0; i < 5; i++)
    storeBE32(digest + 4 * i, ctx->state[i]);
}

void sha1(unsigned char* digest, const void* data, size_t length) {
  Sha1Context ctx;
  sha1Begin(&ctx);
  sha1Update(data, length, &ctx);
  sha1Final(digest, &ctx);
}

} // namespace crypto
