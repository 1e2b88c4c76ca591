// A password in its stored form: the text zero-padded to whole 8-byte blocks
// (at least one), each block enciphered with DES under the program's fixed
// key, followed by "UTF8" when any byte of the text is 0x80 or above. This is
// obfuscation, not protection. The bytes are owned and wiped when released.
#pragma once

#include <memory>

namespace plat {

class PlainPassword;

class ObfuscatedPassword {
public:
  ObfuscatedPassword() = default;
  // length zero bytes, for a stored form read from elsewhere.
  explicit ObfuscatedPassword(int length);
  // A copy of length stored bytes.
  ObfuscatedPassword(const unsigned char* bytes, int length);
  explicit ObfuscatedPassword(const PlainPassword& plain);
  ObfuscatedPassword(const ObfuscatedPassword& other);
  ObfuscatedPassword& operator=(const ObfuscatedPassword& other);
  ObfuscatedPassword(ObfuscatedPassword&& other) noexcept;
  ObfuscatedPassword& operator=(ObfuscatedPassword&& other) noexcept;
  ~ObfuscatedPassword();

  // Replaces the content with the encoding of plain.
  void assign(const PlainPassword& plain);
  // Wipes and frees the bytes; the length becomes 0.
  void clear();

  int length() const { return length_; }
  const unsigned char* data() const { return buf_.get(); }
  unsigned char* data() { return buf_.get(); }

private:
  int length_ = 0;
  std::unique_ptr<unsigned char[]> buf_;
};

} // namespace plat
