#include "plat/PlainPassword.h"

#include "plat/Des.h"
#include "plat/Exception.h"
#include "plat/ObfuscatedPassword.h"

#include <cstring>

namespace plat {

namespace {

void wipeAndFree(char* text) {
  if (!text)
    return;
  explicit_bzero(text, strlen(text));
  delete[] text;
}

} // namespace

// Shared with ObfuscatedPassword.cpp.
extern const unsigned char obfuscationKey[8];

PlainPassword::PlainPassword(int length)
    : buf_(new char[length > 0 ? static_cast<size_t>(length) + 1 : 1]()) {
}

PlainPassword::PlainPassword(const ObfuscatedPassword& obfuscated) {
  int length = obfuscated.length();
  const unsigned char* bytes = obfuscated.data();
  if (length % 8 == 4 && memcmp(bytes + length - 4, "UTF8", 4) == 0)
    length -= 4;
  if (length % 8 != 0)
    throw Exception("bad obfuscated password length");
  char* text = new char[length + 1];
  text[length] = '\0';
  DesSchedule schedule;
  desInitDecrypt(schedule, obfuscationKey);
  for (int i = 0; i < length; i += 8)
    desBlock(schedule, bytes + i, reinterpret_cast<unsigned char*>(text + i));
  desClearSchedule(schedule);
  // The text ends at its first zero byte; whatever follows it is zeroed so
  // that wiping up to the terminator wipes everything.
  size_t used = strlen(text);
  explicit_bzero(text + used, length - used);
  buf_ = text;
}

PlainPassword::~PlainPassword() {
  wipeAndFree(buf_);
}

PlainPassword& PlainPassword::operator=(PlainPassword&& other) noexcept {
  if (this != &other) {
    wipeAndFree(buf_);
    buf_ = other.buf_;
    other.buf_ = nullptr;
  }
  return *this;
}

void PlainPassword::replaceBuf(char* text) {
  if (text == buf_)
    return;
  wipeAndFree(buf_);
  buf_ = text;
}

int PlainPassword::length() const {
  return buf_ ? static_cast<int>(strlen(buf_)) : 0;
}

bool passwordLongEnough(const char* text) {
  return text && strlen(text) >= 6;
}

bool passwordLongEnough(const PlainPassword& password) {
  return passwordLongEnough(password.get());
}

} // namespace plat
