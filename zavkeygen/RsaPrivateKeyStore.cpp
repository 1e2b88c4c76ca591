#include "zavkeygen/RsaPrivateKeyStore.h"

#include "plat/LogWriter.h"
#include "plat/crypto/RsaException.h"
#include "rdr/Exception.h"
#include "zavkeygen/HexInStream.h"
#include "zavkeygen/HexOutStream.h"

namespace crypto {

static plat::LogWriter vlog("RsaPrivateKeyStore");

RsaPrivateKeyGetter::~RsaPrivateKeyGetter() = default;

void RsaPrivateKeyStore::Callback::generationStarted() {
}

void RsaPrivateKeyStore::Callback::generationFinished() {
}

RsaPrivateKeyStore::RsaPrivateKeyStore(Callback* callback_, bool generateIfMissing_, bool hex_)
    : callback(callback_), generateIfMissing(generateIfMissing_), hex(hex_) {
}

void RsaPrivateKeyStore::getKey(RsaPrivateKey& key) {
  if (load(key))
    return;
  if (!generateIfMissing)
    throw RsaException("Error: no private key");
  generateAndStore(key);
}

void RsaPrivateKeyStore::ensureKey(bool loadFirst) {
  RsaPrivateKey key;
  if (loadFirst && load(key))
    return;
  generateAndStore(key);
}

void RsaPrivateKeyStore::checkStorable() {
}

void RsaPrivateKeyStore::generateAndStore(RsaPrivateKey& key) {
  checkStorable();
  if (callback)
    callback->generationStarted();
  try {
    key.generate(callback);
    key.check();
    store(key);
  } catch (plat::Exception& e) {
    if (callback)
      callback->generationFinished();
    throw RsaException("Error generating private key: %s", e.str());
  }
  if (callback)
    callback->generationFinished();
}

void RsaPrivateKeyStore::readKey(RsaPrivateKey& key, rdr::InStream& in) {
  rdr::HexInStream hexIn(in);
  // A file stream throws at its end instead of answering false; a stream
  // that answers false has ended all the same.
  if (!key.readPrivate(hex ? static_cast<rdr::InStream&>(hexIn) : in))
    throw rdr::EndOfStream();
  key.check();
}

void RsaPrivateKeyStore::writeKey(RsaPrivateKey& key, rdr::OutStream& out) {
  rdr::HexOutStream hexOut(out);
  key.writePrivate(hex ? static_cast<rdr::OutStream&>(hexOut) : out);
  hexOut.flush();
}

} // namespace crypto
