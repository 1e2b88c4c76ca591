#include "plat/crypto/ByteReader.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "rdr/InStream.h"

#include <openssl/crypto.h>

namespace crypto {

static plat::LogWriter vlog("ByteReader");

bool ByteReader::read(rdr::InStream& in, int length) {
  if (expected_ == 0) {
    if (length <= 0)
      throw plat::Exception("ByteReader::init: bad len");
    buffer_.reset(new unsigned char[length]);
    expected_ = length;
    got_ = 0;
  } else if (expected_ != length) {
    throw plat::Exception("ByteReader::init: bad len");
  }
  while (got_ < expected_) {
    if (in.avail() == 0 && !in.overrun(false, expected_ - got_))
      return false;
    int n = in.avail() < expected_ - got_ ? in.avail() : expected_ - got_;
    in.readBytes(buffer_.get() + got_, n);
    got_ += n;
    in.checkpoint();
  }
  return true;
}

void ByteReader::reset() {
  // The bytes may be private key numbers: they do not linger in freed memory.
  if (buffer_)
    OPENSSL_cleanse(buffer_.get(), static_cast<size_t>(expected_));
  buffer_.reset();
  expected_ = 0;
  got_ = 0;
  announced = 0;
}

} // namespace crypto
