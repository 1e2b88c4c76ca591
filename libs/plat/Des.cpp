#include "plat/Des.h"

#include <cstring>

namespace plat {

namespace {

// Bit positions in the tables count from 1 at the most significant bit.
const uint8_t initialPerm[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                                 62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                                 57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                                 61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

const uint8_t finalPerm[64] = {40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
                               38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
                               36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
                               34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};

const uint8_t roundPerm[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                               2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

const uint8_t keyPerm1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                              10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                              63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                              14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

const uint8_t keyPerm2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                              26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                              51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

const uint8_t keyShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

const uint8_t sBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11},
};

// Output bit i (from the top of an n-bit result) is input bit table[i] of an
// inBits-bit input.
uint64_t permute(uint64_t in, const uint8_t* table, int n, int inBits) {
  uint64_t out = 0;
  for (int i = 0; i < n; i++)
    out = (out << 1) | ((in >> (inBits - table[i])) & 1);
  return out;
}

// S-box g followed by the round permutation, for each 6-bit input.
struct SpTables {
  uint32_t sp[8][64];
  SpTables() {
    for (int g = 0; g < 8; g++) {
      for (int b = 0; b < 64; b++) {
        int row = ((b >> 4) & 2) | (b & 1);
        int col = (b >> 1) & 0xf;
        uint32_t s = static_cast<uint32_t>(sBoxes[g][row * 16 + col]) << (28 - 4 * g);
        sp[g][b] = static_cast<uint32_t>(permute(s, roundPerm, 32, 32));
      }
    }
  }
};

const SpTables& spTables() {
  static const SpTables tables;
  return tables;
}

uint8_t reverseBits(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; i++)
    r = static_cast<uint8_t>((r << 1) | ((b >> i) & 1));
  return r;
}

uint32_t rotr(uint32_t v, int n) {
  n &= 31;
  return n == 0 ? v : (v >> n) | (v << (32 - n));
}

uint32_t roundFunction(uint32_t r, const uint32_t* key, const SpTables& t) {
  uint32_t out = 0;
  for (int g = 0; g < 8; g++) {
    uint32_t word = key[g & 1];
    uint32_t k = (word >> (24 - 8 * (g >> 1))) & 0x3f;
    uint32_t e = rotr(r, 27 - 4 * g) & 0x3f; // expansion: bits 4g .. 4g+5, wrapping
    out ^= t.sp[g][e ^ k];
  }
  return out;
}

} // namespace

void desClearSchedule(DesSchedule& schedule) {
  explicit_bzero(&schedule, sizeof schedule);
}

void desCopySchedule(DesSchedule& dest, const DesSchedule& src) {
  memcpy(dest.keys, src.keys, sizeof dest.keys);
}

void desCopyScheduleTo(const DesSchedule& src, DesSchedule& dest) {
  desCopySchedule(dest, src);
}

void desMakeSchedule(const unsigned char key[8], bool decipher, DesSchedule& schedule) {
  // Reading each key byte least significant bit first is the textbook
  // cipher under the bit-reversed byte.
  uint64_t k = 0;
  for (int i = 0; i < 8; i++)
    k = (k << 8) | reverseBits(key[i]);
  uint64_t cd = permute(k, keyPerm1, 56, 64);
  uint32_t c = static_cast<uint32_t>(cd >> 28) & 0xfffffff;
  uint32_t d = static_cast<uint32_t>(cd) & 0xfffffff;
  for (int round = 0; round < 16; round++) {
    int s = keyShifts[round];
    c = ((c << s) | (c >> (28 - s))) & 0xfffffff;
    d = ((d << s) | (d >> (28 - s))) & 0xfffffff;
    uint64_t sub = permute((static_cast<uint64_t>(c) << 28) | d, keyPerm2, 48, 56);
    uint32_t even = 0, odd = 0;
    for (int g = 0; g < 8; g++) {
      uint32_t bits = static_cast<uint32_t>(sub >> (42 - 6 * g)) & 0x3f;
      if (g & 1)
        odd = (odd << 8) | bits;
      else
        even = (even << 8) | bits;
    }
    int slot = decipher ? 15 - round : round;
    schedule.keys[2 * slot] = even;
    schedule.keys[2 * slot + 1] = odd;
  }
}

void desInitEncrypt(DesSchedule& schedule, const unsigned char key[8]) {
  desClearSchedule(schedule);
  desMakeSchedule(key, false, schedule);
}

void desInitDecrypt(DesSchedule& schedule, const unsigned char key[8]) {
  desClearSchedule(schedule);
  desMakeSchedule(key, true, schedule);
}

void desBlock(const DesSchedule& schedule, const unsigned char in[8], unsigned char out[8]) {
  const SpTables& t = spTables();
  uint64_t block = 0;
  for (int i = 0; i < 8; i++)
    block = (block << 8) | in[i];
  block = permute(block, initialPerm, 64, 64);
  uint32_t l = static_cast<uint32_t>(block >> 32);
  uint32_t r = static_cast<uint32_t>(block);
  for (int round = 0; round < 16; round++) {
    uint32_t next = l ^ roundFunction(r, &schedule.keys[2 * round], t);
    l = r;
    r = next;
  }
  block = permute((static_cast<uint64_t>(r) << 32) | l, finalPerm, 64, 64);
  for (int i = 7; i >= 0; i--) {
    out[i] = static_cast<unsigned char>(block);
    block >>= 8;
  }
}

} // namespace plat
