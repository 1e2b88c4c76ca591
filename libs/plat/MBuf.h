// An owned byte buffer of a given length: the value of binary parameters and
// of decoded hexadecimal. Copying makes a deep copy; constructing with a
// length gives that many zero elements. An empty buffer holds no storage.
// Binary parameters hold obfuscated passwords and key material, so storage is
// overwritten with zeros whenever it is given up (replaced, cleared, moved
// over or destroyed).
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>

namespace plat {

template <typename T> class MBuf {
public:
  MBuf() = default;
  explicit MBuf(int length) { resize(length); }
  MBuf(const T* data, int length) { assign(data, length); }
  MBuf(const MBuf& other) { assign(other.data(), other.size()); }
  MBuf(MBuf&& other) noexcept : length_(other.length_), data_(std::move(other.data_)) {
    other.length_ = 0;
  }
  ~MBuf() { clear(); }
  MBuf& operator=(const MBuf& other) {
    if (this != &other)
      assign(other.data(), other.size());
    return *this;
  }
  MBuf& operator=(MBuf&& other) noexcept {
    if (this == &other)
      return *this;
    clear();
    length_ = other.length_;
    data_ = std::move(other.data_);
    other.length_ = 0;
    return *this;
  }

  int size() const { return length_; }
  bool empty() const { return length_ == 0; }
  T* data() { return data_.get(); }
  const T* data() const { return data_.get(); }
  T& operator[](int i) { return data_[i]; }
  const T& operator[](int i) const { return data_[i]; }

  // Replaces the contents with length zero elements.
  void resize(int length) {
    clear();
    data_.reset(length > 0 ? new T[length]() : nullptr);
    length_ = length > 0 ? length : 0;
  }
  // Replaces the contents with a copy of length elements.
  void assign(const T* data, int length) {
    std::unique_ptr<T[]> copy(length > 0 ? new T[length] : nullptr);
    if (length > 0)
      std::copy(data, data + length, copy.get());
    clear();
    data_ = std::move(copy);
    length_ = length > 0 ? length : 0;
  }
  // Overwrites the contents with zeros, then empties the buffer.
  void clear() {
    if (length_ > 0)
      explicit_bzero(data_.get(), sizeof(T) * length_);
    data_.reset();
    length_ = 0;
  }

  bool operator==(const MBuf& other) const {
    return length_ == other.length_ && std::equal(data(), data() + length_, other.data());
  }
  bool operator!=(const MBuf& other) const { return !(*this == other); }

private:
  int length_ = 0;
  std::unique_ptr<T[]> data_;
};

} // namespace plat
