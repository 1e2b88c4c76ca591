#include "plat/Sha2Context.h"

#include "plat/LogWriter.h"

#include <cstring>

namespace crypto {

static plat::LogWriter vlog("Sha2Context");

// The round constants of SHA-224 and SHA-256.
static const uint32_t k256[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// The round constants of SHA-384 and SHA-512.
static const uint64_t k512[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

static const uint32_t init224[8] = {0xc1059ed8, 0x367cd507, 0x3070dd17, 0xf70e5939,
                                    0xffc00b31, 0x68581511, 0x64f98fa7, 0xbefa4fa4};
static const uint32_t init256[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
static const uint64_t init384[8] = {0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17,
                                    0x152fecd8f70e5939, 0x67332667ffc00b31, 0x8eb44a8768581511,
                                    0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};
static const uint64_t init512[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b,
                                    0xa54ff53a5f1d36f1, 0x510e527fade682d1, 0x9b05688c2b3e6c1f,
                                    0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};

static inline uint32_t rotr32(uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}
static inline uint64_t rotr64(uint64_t x, int n) {
  return (x >> n) | (x << (64 - n));
}

static inline uint32_t loadBE32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
static inline uint64_t loadBE64(const unsigned char* p) {
  return (uint64_t(loadBE32(p)) << 32) | loadBE32(p + 4);
}
static inline void storeBE32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}
static inline void storeBE64(unsigned char* p, uint64_t v) {
  storeBE32(p, static_cast<uint32_t>(v >> 32));
  storeBE32(p + 4, static_cast<uint32_t>(v));
}

// The two widths run the same compression; they differ in the word, the
// number of rounds, the round constants and the rotation amounts.
struct Sha256Words {
  using Word = uint32_t;
  static const int rounds = 64;
  static Word load(const unsigned char* p) { return loadBE32(p); }
  static Word k(int t) { return k256[t]; }
  static Word sum0(Word a) { return rotr32(a, 2) ^ rotr32(a, 13) ^ rotr32(a, 22); }
  static Word sum1(Word e) { return rotr32(e, 6) ^ rotr32(e, 11) ^ rotr32(e, 25); }
  static Word sigma0(Word w) { return rotr32(w, 7) ^ rotr32(w, 18) ^ (w >> 3); }
  static Word sigma1(Word w) { return rotr32(w, 17) ^ rotr32(w, 19) ^ (w >> 10); }
};

struct Sha512Words {
  using Word = uint64_t;
  static const int rounds = 80;
  static Word load(const unsigned char* p) { return loadBE64(p); }
  static Word k(int t) { return k512[t]; }
  static Word sum0(Word a) { return rotr64(a, 28) ^ rotr64(a, 34) ^ rotr64(a, 39); }
  static Word sum1(Word e) { return rotr64(e, 14) ^ rotr64(e, 18) ^ rotr64(e, 41); }
  static Word sigma0(Word w) { return rotr64(w, 1) ^ rotr64(w, 8) ^ (w >> 7); }
  static Word sigma1(Word w) { return rotr64(w, 19) ^ rotr64(w, 61) ^ (w >> 6); }
};

template <class Words>
static void compress(typename Words::Word state[8], const unsigned char* block) {
  using Word = typename Words::Word;
  Word w[16];
  for (int i = 0; i < 16; i++)
    w[i] = Words::load(block + sizeof(Word) * i);
  Word a = state[0], b = state[1], c = state[2], d = state[3];
  Word e = state[4], f = state[5], g = state[6], h = state[7];
  for (int t = 0; t < Words::rounds; t++) {
    Word wt = w[t & 15];
    if (t >= 16) {
      wt += Words::sigma0(w[(t + 1) & 15]) + w[(t + 9) & 15] + Words::sigma1(w[(t + 14) & 15]);
      w[t & 15] = wt;
    }
    Word t1 = h + Words::sum1(e) + ((e & f) ^ (~e & g)) + Words::k(t) + wt;
    Word t2 = Words::sum0(a) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

static bool isWide(const Sha2Context* ctx) {
  return ctx->digestLength > 32;
}

int sha2Begin(int digestLength, Sha2Context* ctx) {
  int bytes;
  switch (digestLength) {
  case 28:
  case 224:
    bytes = 28;
    break;
  case 32:
  case 256:
    bytes = 32;
    break;
  case 48:
  case 384:
    bytes = 48;
    break;
  case 64:
  case 512:
    bytes = 64;
    break;
  default:
    return 1;
  }
  ctx->length = 0;
  ctx->digestLength = bytes;
  switch (bytes) {
  case 28:
    memcpy(ctx->state.s32, init224, sizeof(init224));
    break;
  case 32:
    memcpy(ctx->state.s32, init256, sizeof(init256));
    break;
  case 48:
    memcpy(ctx->state.s64, init384, sizeof(init384));
    break;
  default:
    memcpy(ctx->state.s64, init512, sizeof(init512));
    break;
  }
  return 0;
}

void sha2Update(const void* data, size_t length, Sha2Context* ctx) {
  // An empty piece may come without a buffer at all.
  if (length == 0)
    return;
  const bool wide = isWide(ctx);
  const size_t blockSize = wide ? 128 : 64;
  const unsigned char* p = static_cast<const unsigned char*>(data);
  size_t used = static_cast<size_t>(ctx->length & (blockSize - 1));
  ctx->length += length;
  if (used) {
    size_t take = blockSize - used < length ? blockSize - used : length;
    memcpy(ctx->block + used, p, take);
    p += take;
    length -= take;
    if (used + take < blockSize)
      return;
    if (wide)
      compress<Sha512Words>(ctx->state.s64, ctx->block);
    else
      compress<Sha256Words>(ctx->state.s32, ctx->block);
  }
  if (wide) {
    for (; length >= 128; p += 128, length -= 128)
      compress<Sha512Words>(ctx->state.s64, p);
  } else {
    for (; length >= 64; p += 64, length -= 64)
      compress<Sha256Words>(ctx->state.s32, p);
  }
  if (length)
    memcpy(ctx->block, p, length);
}

void sha2Final(unsigned char* digest, Sha2Context* ctx) {
  const bool wide = isWide(ctx);
  const size_t blockSize = wide ? 128 : 64;
  const size_t lengthField = wide ? 16 : 8;
  size_t used = static_cast<size_t>(ctx->length & (blockSize - 1));
  ctx->block[used++] = 0x80;
  if (used > blockSize - lengthField) {
    memset(ctx->block + used, 0, blockSize - used);
    if (wide)
      compress<Sha512Words>(ctx->state.s64, ctx->block);
    else
      compress<Sha256Words>(ctx->state.s32, ctx->block);
    used = 0;
  }
  memset(ctx->block + used, 0, blockSize - used);
  // The bit length: 64 bits for the narrow engine, 128 for the wide one, of
  // which the top bits come from the byte count's top three bits.
  storeBE64(ctx->block + blockSize - 8, ctx->length << 3);
  if (wide)
    storeBE64(ctx->block + blockSize - 16, ctx->length >> 61);
  unsigned char full[64];
  if (wide) {
    compress<Sha512Words>(ctx->state.s64, ctx->block);
    for (int i = 0; i < 8; i++)
      storeBE64(full + 8 * i, ctx->state.s64[i]);
  } else {
    compress<Sha256Words>(ctx->state.s32, ctx->block);
    for (int i = 0; i < 8; i++)
      storeBE32(full + 4 * i, ctx->state.s32[i]);
  }
  memcpy(digest, full, ctx->digestLength);
}

int sha2(unsigned char* digest, int digestLength, const void* data, size_t length) {
  Sha2Context ctx;
  if (sha2Begin(digestLength, &ctx) != 0)
    return 1;
  sha2Update(data, length, &ctx);
  sha2Final(digest, &ctx);
  return 0;
}

#define SHA2_VARIANT(name, bytes)                                                                  \
  void name##Begin(Sha2Context* ctx) {                                                             \
    sha2Begin(bytes, ctx);                                                                         \
  }                                                                                                \
  void name##Final(unsigned char* digest, Sha2Context* ctx) {                                      \
    sha2Final(digest, ctx);                                                                        \
  }                                                                                                \
  void name(unsigned char* digest, const void* data, size_t length) {                              \
    sha2(digest, bytes, data, length);                                                             \
  }

SHA2_VARIANT(sha224, 28)
SHA2_VARIANT(sha256, 32)
SHA2_VARIANT(sha384, 48)
SHA2_VARIANT(sha512, 64)

#undef SHA2_VARIANT

} // namespace crypto
