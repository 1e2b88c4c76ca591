#include "zavkeygen/RsaPrivateKeyStore.h"

#include "plat/IntParameter.h"
#include "plat/crypto/RsaException.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A store that keeps the key in memory, so the policy can be watched.
class MemoryStore : public crypto::RsaPrivateKeyStore {
public:
  MemoryStore(Callback* callback, bool generateIfMissing, bool hex)
      : crypto::RsaPrivateKeyStore(callback, generateIfMissing, hex) {}

  bool load(crypto::RsaPrivateKey& key) override {
    loads++;
    if (stored.empty())
      return false;
    rdr::MemInStream in(stored.data(), static_cast<int>(stored.size()));
    readKey(key, in);
    return true;
  }
  void store(crypto::RsaPrivateKey& key) override {
    if (failStore)
      throw plat::Exception("disk on fire");
    rdr::MemOutStream out;
    writeKey(key, out);
    stored.assign(out.data(), out.data() + out.length());
    stores++;
  }

  std::vector<std::uint8_t> stored;
  int loads = 0, stores = 0;
  bool failStore = false;
};

class EventLog : public crypto::RsaPrivateKeyStore::Callback {
public:
  void progress(int stage, int) override {
    if (stage == 3)
      events += "3";
  }
  void generationStarted() override { events += "<"; }
  void generationFinished() override { events += ">"; }
  std::string events;
};

class RsaPrivateKeyStoreTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(crypto::rsaModulusBits.setParam("1024", 50)); }
};

TEST_F(RsaPrivateKeyStoreTest, GetKeyGeneratesOnlyWhenAllowed) {
  MemoryStore refusing(nullptr, false, true);
  crypto::RsaPrivateKey key;
  try {
    refusing.getKey(key);
    FAIL() << "a key appeared";
  } catch (crypto::RsaException& e) {
    EXPECT_STREQ(e.str(), "Error: no private key");
  }

  EventLog log;
  MemoryStore generating(&log, true, true);
  generating.getKey(key);
  EXPECT_EQ(log.events, "<33>");
  EXPECT_EQ(generating.stores, 1);
  key.check();

  // The next key comes from the store.
  crypto::RsaPrivateKey again;
  generating.getKey(again);
  EXPECT_EQ(generating.stores, 1);
  EXPECT_EQ(BN_cmp(again.getNumber(crypto::RsaKey::N), key.getNumber(crypto::RsaKey::N)), 0);
}

TEST_F(RsaPrivateKeyStoreTest, EnsureKeyKeepsOrReplaces) {
  MemoryStore store(nullptr, false, true);
  store.ensureKey(true);
  EXPECT_EQ(store.stores, 1);
  std::vector<std::uint8_t> first = store.stored;
  // Hex text: 708 bytes for 1024 bits.
  EXPECT_EQ(first.size(), 2u * 708);
  store.ensureKey(true);
  EXPECT_EQ(store.stores, 1);
  EXPECT_EQ(store.stored, first);
  store.ensureKey(false);
  EXPECT_EQ(store.stores, 2);
  EXPECT_NE(store.stored, first);
}

TEST_F(RsaPrivateKeyStoreTest, RawFormWhenNotHex) {
  MemoryStore store(nullptr, true, false);
  crypto::RsaPrivateKey key;
  store.getKey(key);
  EXPECT_EQ(store.stored.size(), 708u);
}

TEST_F(RsaPrivateKeyStoreTest, FailedStoreIsWrappedAndStillFinishes) {
  EventLog log;
  MemoryStore store(&log, true, true);
  store.failStore = true;
  try {
    store.ensureKey(true);
    FAIL() << "stored";
  } catch (crypto::RsaException& e) {
    EXPECT_STREQ(e.str(), "Error generating private key: disk on fire");
  }
  EXPECT_EQ(log.events, "<33>");
}

} // namespace
