#include "ft/FileAttributes.h"

#include "plat/Exception.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"

#include <algorithm>
#include <cstring>

namespace ft {

FileAttributes::FileAttributes(const char* name, const void* data, std::uint32_t length)
    : name_(name ? name : ""), length_(length) {
  if (length_ > 0) {
    data_.reset(new std::uint8_t[length_]);
    std::memcpy(data_.get(), data, length_);
  }
}

FileAttributes::~FileAttributes() = default;

int FileAttributes::wireNameLength() const {
  return static_cast<int>(std::min<size_t>(name_.size(), maxNameLength));
}

int FileAttributes::marshalledSize() const {
  return wireNameLength() + static_cast<int>(length_) + 5;
}

void FileAttributes::marshal(rdr::OutStream* os) const {
  int nameLength = wireNameLength();
  os->writeU8(static_cast<std::uint8_t>(nameLength));
  os->writeBytes(name_.data(), nameLength);
  os->writeU32(length_);
  if (length_ > 0)
    os->writeBytes(data_.get(), static_cast<int>(length_));
}

void FileAttributes::unmarshal(rdr::InStream* is) {
  int nameLength = is->readU8();
  char name[maxNameLength + 1];
  is->readBytes(name, nameLength);
  name[nameLength] = '\0';
  std::uint32_t length = is->readU32();
  if (length > maxDataLength)
    throw plat::Exception("Attribute data too long");
  std::unique_ptr<std::uint8_t[]> data;
  if (length > 0) {
    data.reset(new std::uint8_t[length]);
    is->readBytes(data.get(), static_cast<int>(length));
  }
  if (name_ != name)
    name_ = name;
  data_ = std::move(data);
  length_ = length;
}

FileAttributes* FileAttributes::clone() const {
  return new FileAttributes(name_.c_str(), data_.get(), length_);
}

} // namespace ft
