#include "plat/crypto/BigNumFields.h"

#include "plat/LogWriter.h"
#include "plat/crypto/BigNumOverflow.h"
#include "plat/crypto/ByteReader.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"

#include <openssl/crypto.h>

#include <memory>
#include <new>

namespace crypto {

static plat::LogWriter vlog("BigNumFields");

void bigNumWriteF(rdr::OutStream& out, const BIGNUM* number, int length) {
  if (length < 0 || BN_num_bytes(number) > length)
    throw BigNumOverflow("bigNumWriteF overflow");
  if (length == 0)
    return;
  std::unique_ptr<unsigned char[]> bytes(new unsigned char[length]);
  if (BN_bn2binpad(number, bytes.get(), length) != length)
    throw BigNumOverflow("bigNumWriteF overflow");
  out.writeBytes(bytes.get(), length);
  OPENSSL_cleanse(bytes.get(), static_cast<size_t>(length));
}

void bigNumWriteV(rdr::OutStream& out, const BIGNUM* number, int minLength, int maxLength) {
  int length = BN_num_bytes(number);
  if (length < minLength)
    length = minLength;
  if (length > maxLength)
    length = maxLength;
  if (length > 0xffff)
    length = 0xffff;
  out.writeU16(static_cast<std::uint16_t>(length));
  bigNumWriteF(out, number, length);
}

bool bigNumReadF(rdr::InStream& in, BIGNUM*& number, int length, ByteReader& reader) {
  if (number)
    return true;
  if (!reader.read(in, length))
    return false;
  BIGNUM* value = BN_bin2bn(reader.data(), reader.length(), nullptr);
  reader.reset();
  if (!value)
    throw std::bad_alloc();
  number = value;
  return true;
}

bool bigNumReadV(rdr::InStream& in, BIGNUM*& number, ByteReader& reader, int maxLength) {
  if (number)
    return true;
  if (reader.announced == 0) {
    if (!reader.read(in, 2))
      return false;
    int length = (reader.data()[0] << 8) | reader.data()[1];
    reader.reset();
    if (length > maxLength)
      throw BigNumOverflow("bigNumReadV overflow");
    if (length == 0) {
      number = BN_new();
      if (!number)
        throw std::bad_alloc();
      return true;
    }
    reader.announced = length;
  }
  return bigNumReadF(in, number, reader.announced, reader);
}

} // namespace crypto
