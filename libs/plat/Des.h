// The DES block cipher (ECB, one 8-byte block at a time) used to obfuscate
// stored passwords. Key bits are read least significant bit first within each
// key byte; data blocks are two 32-bit big-endian halves as usual.
#pragma once

#include <cstdint>

namespace plat {

// The 16 round keys in cooked form, two 32-bit words per round, in the order
// they are applied (reversed for deciphering).
struct DesSchedule {
  uint32_t keys[32];
};

void desClearSchedule(DesSchedule& schedule);
// Copies src into dest.
void desCopySchedule(DesSchedule& dest, const DesSchedule& src);
// Copies src into dest, source first.
void desCopyScheduleTo(const DesSchedule& src, DesSchedule& dest);
// Builds the schedule of an 8-byte key for enciphering or, with decipher set,
// deciphering.
void desMakeSchedule(const unsigned char key[8], bool decipher, DesSchedule& schedule);
// Clear, then build for that direction.
void desInitEncrypt(DesSchedule& schedule, const unsigned char key[8]);
void desInitDecrypt(DesSchedule& schedule, const unsigned char key[8]);
// One block through the cipher; in and out may be the same buffer.
void desBlock(const DesSchedule& schedule, const unsigned char in[8], unsigned char out[8]);

} // namespace plat
