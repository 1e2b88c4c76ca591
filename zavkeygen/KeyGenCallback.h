// The key generator's progress output: a header for each of the two primes
// and a dot for every candidate libcrypto tries, unless quiet is set.
#pragma once

#include "zavkeygen/RsaPrivateKeyStore.h"

#include <cstdint>
#include <cstdio>

namespace plat {
class BoolParameter;
}

class KeyGenCallback : public crypto::RsaPrivateKeyStore::Callback {
public:
  // Writes to out unless quiet is true at the time of each step; both are
  // borrowed.
  KeyGenCallback(FILE* out, const plat::BoolParameter& quiet);

  // stage 0: a candidate prime ("."); 1, 2: tests and rejections (nothing);
  // 3: a prime found (end of line). The first step prints the header and the
  // p line, the first step after p was found the q line.
  void progress(int stage, int count) override;

  // 0 nothing printed, 1 p header printed, 2 p found, 3 q header printed,
  // 4 q found.
  std::uint32_t getCount() const { return count; }

private:
  FILE* out_;
  const plat::BoolParameter& quiet_;
  std::uint32_t count = 0;
};
