// One named attribute of a share entry: a name of at most 255 bytes and an
// opaque block of data, both owned. Attributes travel inside share entries as
// a 1-byte name length, the name, a 4-byte data length and the data.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace rdr {
class InStream;
class OutStream;
} // namespace rdr

namespace ft {

class FileAttributes {
public:
  // Longest name that travels; longer names are cut to it, consistently in
  // marshalledSize and marshal.
  static constexpr int maxNameLength = 255;
  // Largest data block accepted from a peer: no attribute of this system
  // comes near it, and a hostile length must not decide an allocation.
  static constexpr std::uint32_t maxDataLength = 16384;

  FileAttributes() = default;
  FileAttributes(const char* name, const void* data, std::uint32_t length);
  virtual ~FileAttributes();

  virtual int marshalledSize() const;
  virtual void marshal(rdr::OutStream* os) const;
  // Reads one attribute, replacing name and data. Throws plat::Exception
  // "Attribute data too long" for a data length over maxDataLength, before
  // allocating; stream failures pass on.
  virtual void unmarshal(rdr::InStream* is);
  // A new attribute with copies of name and data; the caller owns it.
  virtual FileAttributes* clone() const;

  const char* getName() const { return name_.c_str(); }
  const std::uint8_t* getData() const { return data_.get(); }
  std::uint32_t getLength() const { return length_; }

private:
  int wireNameLength() const;

  std::string name_;
  std::unique_ptr<std::uint8_t[]> data_;
  std::uint32_t length_ = 0;
};

} // namespace ft
