// The policy for the server's private key: load it from where it is kept,
// else generate, check and store a new one. Derived stores say where keys are
// kept. The store holds only its settings; keys belong to the caller, the
// callback to whoever made the store.
#pragma once

#include "zavkeygen/RsaPrivateKey.h"
#include "zavkeygen/RsaPrivateKeyGetter.h"

namespace rdr {
class InStream;
class OutStream;
} // namespace rdr

namespace crypto {

class RsaPrivateKeyStore : public RsaPrivateKeyGetter {
public:
  // Told when a generation starts and ends, and of its progress.
  class Callback : public RsaPrivateKey::GenProgress {
  public:
    virtual void generationStarted();
    virtual void generationFinished();
  };

  // callback may be null; hex selects hex text as the stored form.
  RsaPrivateKeyStore(Callback* callback, bool generateIfMissing, bool hex);

  // Loads the key; when none loads, generates and stores one if allowed,
  // else throws RsaException "Error: no private key".
  void getKey(RsaPrivateKey& key) override;
  // Makes sure a key is stored: with loadFirst a key that loads is kept as
  // it is; otherwise a new one is generated and stored.
  void ensureKey(bool loadFirst);
  // Generates, checks and stores a new key. A store that cannot take a key
  // says so before any time is spent generating one (checkStorable); other
  // failures throw RsaException "Error generating private key: %s".
  void generateAndStore(RsaPrivateKey& key);

  // False when there is nothing to load; true when a key was read and
  // checked.
  virtual bool load(RsaPrivateKey& key) = 0;
  virtual void store(RsaPrivateKey& key) = 0;
  // Throws when store could not keep a key; by default every store can.
  virtual void checkStorable();

  // The stream halves of load and store, in hex when the store says so.
  void readKey(RsaPrivateKey& key, rdr::InStream& in);
  void writeKey(RsaPrivateKey& key, rdr::OutStream& out);

protected:
  Callback* callback;
  bool generateIfMissing;
  bool hex;
};

} // namespace crypto
