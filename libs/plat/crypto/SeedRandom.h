// Feeds libcrypto's random pool from the system's random source before key
// generation and padding.
#pragma once

namespace crypto {

// Reads 2048 bytes from rdr::RandomStream and adds them with RAND_seed.
void seedRandom();

} // namespace crypto
