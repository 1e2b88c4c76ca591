#include "plat/Sha.h"

#include "plat/Assert.h"
#include "plat/LogWriter.h"
#include "plat/Sha1Context.h"
#include "plat/Sha2Context.h"

namespace crypto {

static plat::LogWriter vlog("Sha");

Sha::Sha(int digestBits) : digestBits_(digestBits) {
  PLAT_ASSERT(digestBits == 160 || digestBits == 224 || digestBits == 256);
  if (digestBits == 160) {
    sha1_.reset(new Sha1Context);
    sha1Begin(sha1_.get());
  } else {
    sha2_.reset(new Sha2Context);
    sha2Begin(digestBits, sha2_.get());
  }
}

Sha::~Sha() = default;

void Sha::update(int length, const void* data) {
  if (length <= 0)
    return;
  if (sha1_)
    sha1Update(data, static_cast<size_t>(length), sha1_.get());
  else
    sha2Update(data, static_cast<size_t>(length), sha2_.get());
}

void Sha::final(plat::MBuf<unsigned char>& buffer) {
  buffer.resize(digestBits_ / 8);
  if (sha1_)
    sha1Final(buffer.data(), sha1_.get());
  else
    sha2Final(buffer.data(), sha2_.get());
}

} // namespace crypto
