// A growable, always-terminated character string with printf-style appending,
// replacement and word wrapping. The buffer grows in powers of two (at least
// 8 bytes), so repeated appends cost amortised constant time per character.
// A string without a buffer reads as the empty text.
#pragma once

#include "plat/String.h"

#include <cstdarg>
#include <memory>

namespace plat {

class DString {
public:
  explicit DString(int initialCapacity = 0);
  DString(const DString& other);
  DString& operator=(const DString& other);
  // A moved-from string is left without a buffer, as a new one.
  DString(DString&& other) noexcept;
  DString& operator=(DString&& other) noexcept;

  // Makes room for n bytes (the terminator included): nothing happens when
  // the buffer already holds n; otherwise the capacity becomes 8 for n <= 7,
  // else the smallest power of two >= n.
  void reserve(int n);

  // Appends the whole text (count < 0) or at most count characters, stopping
  // at a NUL. Afterwards the buffer exists. The text may be part of this
  // string's own text (so may the texts given to appendReplacing).
  DString& append(const char* text, int count = -1);
  // printf-style append; a formatting error (an unencodable wide character)
  // appends nothing.
  DString& appendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
  DString& appendFormatV(const char* format, va_list ap);
  DString& appendRepeated(char c, int n);
  // Appends text with every non-overlapping occurrence of search replaced;
  // an empty search text is a fatal assertion.
  DString& appendReplacing(const char* text, const char* search, const char* replacement);
  // Replaces every occurrence of search in the string's own text.
  void replaceAll(const char* search, const char* replacement);
  // Word-wraps in place at blanks and newlines so that a line holds at most
  // width - 1 characters unless a single word is longer.
  void wrap(int width);
  // Cuts the text to its first len characters.
  void truncate(int len);

  const char* c_str() const { return buf_ ? buf_.get() : ""; }
  int length() const { return len_; }
  int capacity() const { return capacity_; }
  bool isNull() const { return !buf_; }
  // A copy of the text as an owned String.
  String str() const { return String(c_str()); }

private:
  // Makes room for n more characters and the terminator.
  void reserveMore(int n);
  // True when text points into this string's buffer.
  bool ownsText(const char* text) const;

  std::unique_ptr<char[]> buf_;
  int capacity_ = 0;
  int len_ = 0;
};

} // namespace plat
