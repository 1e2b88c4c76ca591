#include "plat/crypto/SeedRandom.h"

#include "plat/LogWriter.h"
#include "rdr/RandomStream.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

namespace crypto {

static plat::LogWriter vlog("SeedRandom");

void seedRandom() {
  const int seedLength = 2048;
  unsigned char seed[seedLength];
  rdr::RandomStream random;
  random.readBytes(seed, seedLength);
  RAND_seed(seed, seedLength);
  OPENSSL_cleanse(seed, seedLength);
}

} // namespace crypto
