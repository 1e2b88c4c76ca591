// The OpenSSL command line as an independent DES-ECB oracle for the tests.
#pragma once

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<unsigned char>;

inline std::string toHex(const Bytes& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

inline unsigned char reverseBits(unsigned char b) {
  unsigned char r = 0;
  for (int i = 0; i < 8; i++)
    r = static_cast<unsigned char>((r << 1) | ((b >> i) & 1));
  return r;
}

// DES-ECB without padding over whole blocks, by `openssl enc`.
inline Bytes opensslDesEcb(const Bytes& key, const Bytes& data, bool decrypt) {
  TempDir dir;
  std::string in = dir.file("in");
  std::ofstream(in, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  std::string cmd = "openssl enc -des-ecb -nopad -provider legacy -provider default ";
  cmd += decrypt ? "-d " : "-e ";
  cmd += "-K " + toHex(key) + " -in '" + in + "' 2>&1";
  Bytes out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p)
    return out;
  int c;
  while ((c = fgetc(p)) != EOF)
    out.push_back(static_cast<unsigned char>(c));
  if (pclose(p) != 0)
    ADD_FAILURE() << "openssl failed: " << std::string(out.begin(), out.end());
  return out;
}

// A stored password computed independently of the program: the text padded
// with zeros to whole blocks (one at least), through OpenSSL under the
// bit-reversed fixed key, plus the "UTF8" tail when the text has bytes above
// 0x7f.
inline Bytes obfuscatedPasswordOracle(const std::string& text) {
  static const unsigned char fixedKey[8] = {0xc4, 0x1d, 0x8e, 0x72, 0x3b, 0xa9, 0xf0, 0x56};
  size_t n = std::max<size_t>((text.size() + 7) / 8 * 8, 8);
  Bytes padded(n, 0);
  memcpy(padded.data(), text.data(), text.size());
  Bytes key;
  for (unsigned char b : fixedKey)
    key.push_back(reverseBits(b));
  Bytes out = opensslDesEcb(key, padded, false);
  bool wide = false;
  for (unsigned char c : text)
    wide = wide || c >= 0x80;
  if (wide)
    out.insert(out.end(), {'U', 'T', 'F', '8'});
  return out;
}

// The same as a password file holds it, for comparing with its contents.
inline std::string obfuscatedPasswordFileText(const std::string& text) {
  Bytes out = obfuscatedPasswordOracle(text);
  return std::string(out.begin(), out.end());
}

} // namespace testing_support
