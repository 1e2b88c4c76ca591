// Feeds arbitrary bytes to the key file reader of zavkeygen, as hex text or
// raw bytes (bit 0 of the first byte), from memory or through the key file
// store's own file reading (bit 1). Bad input must give a plat::Exception,
// never a crash; a key that reads and checks writes a key file that reads
// back as the same bytes.
#include "plat/Exception.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"
#include "zavkeygen/RsaPrivateKey.h"
#include "zavkeygen/RsaPrivateKeyStoreFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// A store over memory: the key file halves without the file.
class MemoryStore : public crypto::RsaPrivateKeyStore {
public:
  explicit MemoryStore(bool hex) : crypto::RsaPrivateKeyStore(nullptr, false, hex) {}
  bool load(crypto::RsaPrivateKey&) override { return false; }
  void store(crypto::RsaPrivateKey&) override {}
};

const std::string& keyPath() {
  static const std::string path = [] {
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : P_tmpdir;
    pattern += "/zavfuzz.XXXXXX";
    if (!mkdtemp(&pattern[0]))
      abort();
    return pattern + "/private.key";
  }();
  return path;
}

std::string written(crypto::RsaPrivateKeyStore& store, crypto::RsaPrivateKey& key) {
  rdr::MemOutStream out;
  store.writeKey(key, out);
  return std::string(reinterpret_cast<const char*>(out.data()), size_t(out.length()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  bool hex = (data[0] & 1) != 0;
  bool viaFile = (data[0] & 2) != 0;
  MemoryStore store(hex);
  crypto::RsaPrivateKey key;
  try {
    if (viaFile) {
      FILE* f = fopen(keyPath().c_str(), "wb");
      if (!f || fwrite(data + 1, 1, size - 1, f) != size - 1 || fclose(f) != 0)
        abort();
      crypto::RsaPrivateKeyStoreFile file(keyPath().c_str(), nullptr, false, hex);
      if (!file.load(key))
        return 0;
    } else {
      rdr::MemInStream in(data + 1, int(size - 1));
      store.readKey(key, in);
    }
  } catch (const plat::Exception&) {
    return 0;
  }

  std::string first = written(store, key);
  crypto::RsaPrivateKey again;
  rdr::MemInStream in(first.data(), int(first.size()));
  try {
    store.readKey(again, in);
  } catch (const plat::Exception& e) {
    fprintf(stderr, "a written key does not read back: %s\n", e.str());
    abort();
  }
  if (written(store, again) != first) {
    fprintf(stderr, "a written key reads back differently\n");
    abort();
  }
  return 0;
}
