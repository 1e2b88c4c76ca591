#include "plat/ObfuscatedPassword.h"

#include "plat/Assert.h"
#include "plat/Des.h"
#include "plat/PlainPassword.h"

#include <cstring>

namespace plat {

// The fixed obfuscation key: c41d8e723ba9f056.
extern const unsigned char obfuscationKey[8];
const unsigned char obfuscationKey[8] = {0xc4, 0x1d, 0x8e, 0x72, 0x3b, 0xa9, 0xf0, 0x56};

ObfuscatedPassword::ObfuscatedPassword(int length) {
  PLAT_CHECK(length >= 0);
  length_ = length;
  if (length > 0)
    buf_.reset(new unsigned char[length]());
}

ObfuscatedPassword::ObfuscatedPassword(const unsigned char* bytes, int length)
    : ObfuscatedPassword(length) {
  if (length > 0)
    memcpy(buf_.get(), bytes, length);
}

ObfuscatedPassword::ObfuscatedPassword(const PlainPassword& plain) {
  assign(plain);
}

ObfuscatedPassword::ObfuscatedPassword(const ObfuscatedPassword& other)
    : ObfuscatedPassword(other.data(), other.length()) {
}

ObfuscatedPassword& ObfuscatedPassword::operator=(const ObfuscatedPassword& other) {
  if (this != &other) {
    ObfuscatedPassword copy(other);
    *this = std::move(copy);
  }
  return *this;
}

ObfuscatedPassword::ObfuscatedPassword(ObfuscatedPassword&& other) noexcept
    : length_(other.length_), buf_(std::move(other.buf_)) {
  other.length_ = 0;
}

ObfuscatedPassword& ObfuscatedPassword::operator=(ObfuscatedPassword&& other) noexcept {
  if (this != &other) {
    clear();
    length_ = other.length_;
    buf_ = std::move(other.buf_);
    other.length_ = 0;
  }
  return *this;
}

ObfuscatedPassword::~ObfuscatedPassword() {
  clear();
}

void ObfuscatedPassword::clear() {
  if (buf_ && length_ > 0)
    explicit_bzero(buf_.get(), length_);
  buf_.reset();
  length_ = 0;
}

void ObfuscatedPassword::assign(const PlainPassword& plain) {
  clear();
  const char* text = plain.get() ? plain.get() : "";
  size_t plainLength = strlen(text);
  bool wide = false;
  for (size_t i = 0; i < plainLength; i++)
    if (static_cast<unsigned char>(text[i]) >= 0x80)
      wide = true;
  PLAT_CHECK(plainLength <= 0x3fffffff);
  int n = static_cast<int>((plainLength + 7) & ~static_cast<size_t>(7));
  if (n < 8)
    n = 8;
  int total = n + (wide ? 4 : 0);
  buf_.reset(new unsigned char[total]());
  length_ = total;
  memcpy(buf_.get(), text, plainLength);
  DesSchedule schedule;
  desInitEncrypt(schedule, obfuscationKey);
  for (int i = 0; i < n; i += 8)
    desBlock(schedule, buf_.get() + i, buf_.get() + i);
  desClearSchedule(schedule);
  if (wide)
    memcpy(buf_.get() + n, "UTF8", 4);
}

} // namespace plat
