#include "plat/DString.h"

#include "plat/Assert.h"
#include "plat/StringUtils.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>

namespace plat {

DString::DString(int initialCapacity) {
  if (initialCapacity > 0)
    reserve(initialCapacity);
}

DString::DString(const DString& other) {
  *this = other;
}

DString& DString::operator=(const DString& other) {
  if (this == &other)
    return *this;
  buf_.reset();
  capacity_ = len_ = 0;
  if (other.buf_) {
    reserve(other.capacity_);
    memcpy(buf_.get(), other.buf_.get(), other.len_ + 1);
    len_ = other.len_;
  }
  return *this;
}

DString::DString(DString&& other) noexcept
    : buf_(std::move(other.buf_)), capacity_(other.capacity_), len_(other.len_) {
  other.capacity_ = other.len_ = 0;
}

DString& DString::operator=(DString&& other) noexcept {
  if (this != &other) {
    buf_ = std::move(other.buf_);
    capacity_ = other.capacity_;
    len_ = other.len_;
    other.capacity_ = other.len_ = 0;
  }
  return *this;
}

void DString::reserve(int n) {
  if (buf_ && capacity_ >= n)
    return;
  int cap = 8;
  while (cap < n) {
    PLAT_ASSERT(cap <= INT_MAX / 2);
    cap *= 2;
  }
  std::unique_ptr<char[]> nb(new char[cap]);
  if (buf_)
    memcpy(nb.get(), buf_.get(), len_ + 1);
  else
    nb[0] = '\0';
  buf_ = std::move(nb);
  capacity_ = cap;
}

void DString::reserveMore(int n) {
  // The new length must stay an int: a wrapped sum would reserve nothing and
  // the caller would write past the end of the buffer.
  PLAT_ASSERT(n >= 0 && n < INT_MAX - len_);
  reserve(len_ + n + 1);
}

bool DString::ownsText(const char* text) const {
  return text && buf_ && std::less_equal<const char*>()(buf_.get(), text) &&
         std::less<const char*>()(text, buf_.get() + capacity_);
}

DString& DString::append(const char* text, int count) {
  int n = 0;
  if (text && count != 0) {
    if (count < 0) {
      n = strLen(text);
    } else {
      const void* nul = memchr(text, '\0', count);
      n = nul ? static_cast<int>(static_cast<const char*>(nul) - text) : count;
    }
  }
  // The text may lie in this string's own buffer, which growing frees.
  if (n > 0 && ownsText(text)) {
    String copy(text, n);
    return append(copy.c_str(), n);
  }
  reserveMore(n);
  memcpy(buf_.get() + len_, text ? text : "", n);
  len_ += n;
  buf_[len_] = '\0';
  return *this;
}

DString& DString::appendFormat(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  appendFormatV(format, ap);
  va_end(ap);
  return *this;
}

DString& DString::appendFormatV(const char* format, va_list ap) {
  int estimate = strLen(format);
  for (;;) {
    reserveMore(estimate);
    va_list aq;
    va_copy(aq, ap);
    int room = capacity_ - len_;
    int n = vsnprintf(buf_.get() + len_, room, format, aq);
    va_end(aq);
    if (n >= 0 && n < room) {
      len_ += n;
      return *this;
    }
    buf_[len_] = '\0';
    // A negative result is a formatting error (a wide character the locale
    // cannot encode, output beyond INT_MAX) that no amount of room cures:
    // retrying would only grow the buffer until the process dies. The text
    // is left as it was.
    if (n < 0)
      return *this;
    estimate = n;
  }
}

DString& DString::appendRepeated(char c, int n) {
  if (n <= 0)
    return append("", 0);
  reserveMore(n);
  memset(buf_.get() + len_, c, n);
  len_ += n;
  buf_[len_] = '\0';
  return *this;
}

DString& DString::appendReplacing(const char* text, const char* search, const char* replacement) {
  int findLen = strLen(search);
  PLAT_ASSERT(findLen);
  if (!text)
    return append("", 0);
  if (ownsText(text) || ownsText(search) || ownsText(replacement)) {
    String textCopy(text), searchCopy(search), replacementCopy(replacement);
    return appendReplacing(textCopy.c_str(), searchCopy.c_str(), replacementCopy.c_str());
  }
  int replLen = strLen(replacement);
  const char* p = text;
  while (const char* hit = strstr(p, search)) {
    append(p, static_cast<int>(hit - p));
    append(replacement, replLen);
    p = hit + findLen;
  }
  return append(p);
}

void DString::replaceAll(const char* search, const char* replacement) {
  if (!buf_)
    return;
  std::unique_ptr<char[]> old = std::move(buf_);
  int cap = capacity_;
  capacity_ = len_ = 0;
  reserve(cap);
  appendReplacing(old.get(), search, replacement);
}

void DString::wrap(int width) {
  if (!buf_)
    return;
  char* s = buf_.get();
  int lineStart = 0;
  int i = 0;
  // Walk the words; i is the start of the current word.
  while (i < len_) {
    int wordEnd = i;
    while (wordEnd < len_ && s[wordEnd] != ' ' && s[wordEnd] != '\n')
      wordEnd++;
    // The separator before this word (if any) becomes a newline when the line
    // so far plus the word plus one would exceed the width.
    if (i > lineStart && s[i - 1] == ' ' && (wordEnd - lineStart) + 1 > width) {
      s[i - 1] = '\n';
      lineStart = i;
    }
    if (wordEnd < len_ && s[wordEnd] == '\n')
      lineStart = wordEnd + 1;
    i = wordEnd + 1;
  }
}

void DString::truncate(int len) {
  if (buf_ && len >= 0 && len < len_) {
    len_ = len;
    buf_[len_] = '\0';
  }
}

} // namespace plat
