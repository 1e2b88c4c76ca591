// An owned NUL-terminated text that may be absent: the value type of string
// parameters and of texts handed between components. Copying copies the text.
// plat::StringVector is an ordered sequence of them.
#pragma once

#include <memory>
#include <vector>

namespace plat {

class String {
public:
  String() = default;
  // Copies the text; an absent text gives an absent String.
  String(const char* text); // NOLINT: implicit on purpose, like a text literal
  // Copies exactly count bytes of the text and terminates them.
  String(const char* text, int count);
  String(const String& other);
  String(String&& other) noexcept = default;
  String& operator=(const String& other);
  String& operator=(String&& other) noexcept = default;
  ~String() = default;

  // Takes ownership of a text allocated with new[].
  static String adopt(char* text);

  bool isNull() const { return !buf_; }
  // The text; nullptr when absent.
  const char* get() const { return buf_.get(); }
  // The text; "" when absent.
  const char* c_str() const { return buf_ ? buf_.get() : ""; }
  char* buf() { return buf_.get(); }
  int length() const;
  // Gives up ownership of the text (allocated with new[]).
  char* release() { return buf_.release(); }
  void reset() { buf_.reset(); }

  bool operator==(const char* other) const;
  bool operator!=(const char* other) const { return !(*this == other); }

private:
  std::unique_ptr<char[]> buf_;
};

using StringVector = std::vector<String>;

} // namespace plat
