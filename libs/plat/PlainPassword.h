// A password in clear, as typed or as decoded from its stored form. It owns
// its text (allocated with new[]) and overwrites it with zeros before the
// memory is released, on replacement and on destruction.
#pragma once

namespace plat {

class ObfuscatedPassword;

class PlainPassword {
public:
  PlainPassword() = default;
  // Takes ownership of a text allocated with new[].
  explicit PlainPassword(char* text) : buf_(text) {}
  // A zeroed buffer for a text of up to length characters (one byte more is
  // kept for the terminator).
  explicit PlainPassword(int length);
  // Decodes; throws plat::Exception "bad obfuscated password length".
  explicit PlainPassword(const ObfuscatedPassword& obfuscated);
  ~PlainPassword();
  PlainPassword(const PlainPassword&) = delete;
  PlainPassword& operator=(const PlainPassword&) = delete;
  PlainPassword(PlainPassword&& other) noexcept : buf_(other.buf_) { other.buf_ = nullptr; }
  PlainPassword& operator=(PlainPassword&& other) noexcept;

  // Wipes and frees the held text, then holds text (allocated with new[]).
  void replaceBuf(char* text);
  const char* get() const { return buf_; }
  char* buf() { return buf_; }
  bool isNull() const { return buf_ == nullptr; }
  int length() const;

private:
  char* buf_ = nullptr;
};

// True when the text exists and has at least 6 characters.
bool passwordLongEnough(const char* text);
bool passwordLongEnough(const PlainPassword& password);

} // namespace plat
