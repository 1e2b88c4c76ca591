// The state of one resumable fixed-length read: a value of a known length is
// gathered from an input stream over as many calls as the stream needs to
// deliver it. The reader owns its buffer while a value is being gathered.
#pragma once

#include <memory>

namespace rdr {
class InStream;
}

namespace crypto {

class ByteReader {
public:
  ByteReader() = default;
  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  // Gathers what the stream has without waiting towards a value of length
  // bytes, taking a checkpoint after every piece so that nothing consumed is
  // rewound. True once all length bytes are there (see data()); false while
  // more input is needed. A call that finds the reader busy with a value of
  // another length throws plat::Exception "ByteReader::init: bad len".
  bool read(rdr::InStream& in, int length);
  // The gathered bytes of a complete value, valid until reset().
  const unsigned char* data() const { return buffer_.get(); }
  int length() const { return expected_; }
  bool idle() const { return expected_ == 0; }
  // Drops the buffer; the next read() starts a new value.
  void reset();

  // A length announced by a variable-length field while its bytes are
  // still being gathered; 0 when none.
  int announced = 0;

private:
  std::unique_ptr<unsigned char[]> buffer_;
  int expected_ = 0;
  int got_ = 0;
};

} // namespace crypto
