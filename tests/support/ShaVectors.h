// The FIPS 180 example messages and their digests, shared by the digest tests.
#pragma once

#include <string>

namespace testing_support {

struct ShaVector {
  const char* name;
  std::string message;
};

// "abc", the empty message, the 448-bit and 896-bit messages and one million 'a'.
inline const ShaVector* fipsMessages() {
  static const ShaVector messages[] = {
      {"abc", "abc"},
      {"empty", ""},
      {"448 bits", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"},
      {"896 bits",
       "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopq"
       "klmnopqrlmnopqrsmnopqrstnopqrstu"},
      {"million a", std::string(1000000, 'a')},
  };
  return messages;
}
constexpr int fipsMessageCount = 5;

inline std::string toHex(const unsigned char* bytes, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; i++) {
    s += digits[bytes[i] >> 4];
    s += digits[bytes[i] & 15];
  }
  return s;
}

} // namespace testing_support
