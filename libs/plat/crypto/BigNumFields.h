// Big numbers as fields of a byte stream: a fixed field is exactly the given
// number of bytes, unsigned big-endian, zero-padded in front; a variable field
// is a 2-byte big-endian length followed by a fixed field of that length.
// The readers are resumable and allocate only after checking the length.
#pragma once

#include <openssl/bn.h>

namespace rdr {
class InStream;
class OutStream;
} // namespace rdr

namespace crypto {

class ByteReader;

// Throws BigNumOverflow "bigNumWriteF overflow" when the number needs more
// than length bytes.
void bigNumWriteF(rdr::OutStream& out, const BIGNUM* number, int length);
// The number's byte count raised to minLength and cut to maxLength, written
// as 2 bytes, then the fixed field of that length.
void bigNumWriteV(rdr::OutStream& out, const BIGNUM* number, int minLength, int maxLength);

// Reads a fixed field of length bytes into a new number owned by the caller
// (BN_free). True when the number is there (at once when it already was);
// false while more input is needed.
bool bigNumReadF(rdr::InStream& in, BIGNUM*& number, int length, ByteReader& reader);
// The same for a variable field; a length above maxLength throws
// BigNumOverflow "bigNumReadV overflow" before anything is allocated.
bool bigNumReadV(rdr::InStream& in, BIGNUM*& number, ByteReader& reader, int maxLength);

} // namespace crypto
