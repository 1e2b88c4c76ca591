// Whatever can hand out the server's private key.
#pragma once

namespace crypto {

class RsaPrivateKey;

class RsaPrivateKeyGetter {
public:
  virtual ~RsaPrivateKeyGetter();
  // Fills the caller's key; failures are thrown as plat::Exception kinds.
  virtual void getKey(RsaPrivateKey& key) = 0;
};

} // namespace crypto
