// Hexadecimal conversions of byte buffers (binary parameters, keys) and the
// hex dump used for debugging.
#pragma once

#include "plat/MBuf.h"
#include "plat/String.h"

#include <cstdio>
#include <type_traits>

namespace plat {

// Accepts '0'..'9', 'a'..'f', 'A'..'F': shifts value left by 4 and adds the
// digit. Any other character gives false and leaves value alone.
template <typename T> bool addHexDigit(char c, T& value) {
  int digit;
  if (c >= '0' && c <= '9')
    digit = c - '0';
  else if (c >= 'a' && c <= 'f')
    digit = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    digit = c - 'A' + 10;
  else
    return false;
  // Shifted in the unsigned type: digits beyond the width drop off the top
  // instead of overflowing a signed accumulator.
  using U = std::make_unsigned_t<T>;
  value = static_cast<T>(static_cast<U>(static_cast<U>(value) << 4) + static_cast<U>(digit));
  return true;
}

// The lower-case digit of a value 0..15; throws plat::AssertionFail otherwise.
char intToHexDigit(int value);
// Decodes pairs of digits, first digit high. Empty text gives an empty buffer
// and true; an odd length or a non-hex character gives false and an empty out.
bool hexToBin(const char* text, MBuf<unsigned char>& out);
// 2 x length lower-case digits, high nibble first; empty for length <= 0.
String binToHex(int length, const unsigned char* bytes);
// Writes a dump of the bytes to stderr: groups of four, 16 bytes a line, with
// a printable column; lines after the first start with linePrefix.
void hexDump(const char* prefix, const char* linePrefix, const unsigned char* bytes, int count,
             FILE* out = stderr);

} // namespace plat
