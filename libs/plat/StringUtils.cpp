#include "plat/StringUtils.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace plat {

static const int maxTextLength = 0x3fffffff;

void strAppend(char* dest, int size, const char* text, int count) {
  if (size <= 0)
    return;
  int len = static_cast<int>(strnlen(dest, size - 1));
  dest[len] = '\0';
  if (!text)
    return;
  int room = size - 1 - len;
  int n = count < 0 ? room : (count < room ? count : room);
  const void* nul = memchr(text, '\0', n);
  if (nul)
    n = static_cast<int>(static_cast<const char*>(nul) - text);
  memcpy(dest + len, text, n);
  dest[len + n] = '\0';
}

void strAppendV(char* dest, int size, const char* format, va_list ap) {
  if (size <= 0)
    return;
  int len = static_cast<int>(strnlen(dest, size - 1));
  dest[len] = '\0';
  if (len < size - 1)
    vsnprintf(dest + len, size - len, format, ap);
}

char* strAppendF(char* dest, int size, const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  strAppendV(dest, size, format, ap);
  va_end(ap);
  return dest;
}

void strAppendChars(char* dest, int size, char c, int n) {
  if (size <= 0)
    return;
  int len = static_cast<int>(strnlen(dest, size - 1));
  int room = size - 1 - len;
  if (n > room)
    n = room;
  if (n > 0) {
    memset(dest + len, c, n);
    len += n;
  }
  dest[len] = '\0';
}

char* strDup(const char* text, int count) {
  if (!text)
    return nullptr;
  int n = count < 0 ? strLen(text) : count;
  char* copy = new char[n + 1];
  memcpy(copy, text, n);
  copy[n] = '\0';
  return copy;
}

int strLen(const char* text) {
  if (!text)
    return 0;
  return static_cast<int>(strnlen(text, maxTextLength));
}

bool strSplit(const char* text, char c, String* head, String* tail, bool fromEnd) {
  const char* at = text ? (fromEnd ? strrchr(text, c) : strchr(text, c)) : nullptr;
  if (c == '\0')
    at = nullptr;
  if (!at) {
    if (head)
      *head = String(text);
    if (tail)
      tail->reset();
    return false;
  }
  // Both parts are taken before either output is replaced: the text may be
  // the one an output holds.
  String before(text, static_cast<int>(at - text));
  String after(at + 1);
  if (head)
    *head = std::move(before);
  if (tail)
    *tail = std::move(after);
  return true;
}

namespace {

// The length of the valid UTF-8 sequence at p (shortest form, no surrogate,
// at most U+10FFFF) and its code point; 0 when the bytes are not one.
size_t utf8Sequence(const unsigned char* p, unsigned int* codePoint) {
  unsigned int c = p[0];
  size_t length;
  unsigned int min;
  if (c < 0x80) {
    *codePoint = c;
    return 1;
  } else if ((c & 0xe0) == 0xc0) {
    length = 2, min = 0x80, c &= 0x1f;
  } else if ((c & 0xf0) == 0xe0) {
    length = 3, min = 0x800, c &= 0x0f;
  } else if ((c & 0xf8) == 0xf0) {
    length = 4, min = 0x10000, c &= 0x07;
  } else {
    return 0;
  }
  for (size_t i = 1; i < length; i++) {
    if ((p[i] & 0xc0) != 0x80) // also stops at the terminator
      return 0;
    c = (c << 6) | (p[i] & 0x3f);
  }
  if (c < min || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff))
    return 0;
  *codePoint = c;
  return length;
}

// Characters that a line shown or logged must not hold as they are: the
// controls (C0, DEL, C1), and the marks that reorder or hide the text around
// them when it is shown.
bool breaksOrHides(unsigned int c) {
  return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x61c || c == 0x200e || c == 0x200f ||
         (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

// Characters that a log line must not hold as they are: those above, and
// (but in a whole message) the line feed and the backslash that starts the
// escapes.
bool unsafeInLog(unsigned int c, bool wholeMessage) {
  if (c == '\n' || c == '\\')
    return !wholeMessage;
  return breaksOrHides(c);
}

} // namespace

namespace {

// Calls fn(bytes, length, valid, codePoint) for each character of text in
// turn: a well-formed UTF-8 sequence (valid), or a single byte that is not
// part of one. fn returns false to stop.
template <class Fn> void forEachCharacter(const char* text, Fn fn) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    unsigned int c = 0;
    size_t length = utf8Sequence(p, &c);
    bool valid = length != 0;
    if (!valid)
      length = 1;
    if (!fn(reinterpret_cast<const char*>(p), length, valid, c))
      return;
    p += length;
  }
}

} // namespace

std::string strOneLine(const char* text) {
  std::string out;
  if (!text)
    return out;
  forEachCharacter(text, [&](const char* bytes, size_t length, bool valid, unsigned int c) {
    if (valid && !breaksOrHides(c))
      out.append(bytes, length);
    else
      out += '?';
    return true;
  });
  return out;
}

std::string strLoggable(const char* text, size_t maxBytes, bool wholeMessage) {
  std::string out;
  if (!text)
    return out;
  forEachCharacter(text, [&](const char* bytes, size_t length, bool valid, unsigned int c) {
    bool escape = !valid || unsafeInLog(c, wholeMessage);
    if (out.size() + (escape ? 4 * length : length) > maxBytes) {
      out += "...";
      return false;
    }
    if (!escape) {
      out.append(bytes, length);
      return true;
    }
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < length; i++) {
      unsigned char byte = static_cast<unsigned char>(bytes[i]);
      out += "\\x";
      out += digits[byte >> 4];
      out += digits[byte & 0xf];
    }
    return true;
  });
  return out;
}

void strTrimRight(String& text) {
  char* s = text.buf();
  if (!s)
    return;
  int len = strLen(s);
  while (len > 0 && isspace(static_cast<unsigned char>(s[len - 1])))
    len--;
  s[len] = '\0';
}

void strTrimLeft(String& text) {
  const char* s = text.get();
  if (!s || !isspace(static_cast<unsigned char>(*s)))
    return;
  while (isspace(static_cast<unsigned char>(*s)))
    s++;
  text = String(s);
}

void strInsertEvery(String& text, char c, int n) {
  const char* s = text.get();
  if (!s || n <= 0)
    return;
  int len = strLen(s);
  if (len <= n)
    return;
  int extra = (len - 1) / n;
  char* out = new char[len + extra + 1];
  int o = 0;
  for (int i = 0; i < len; i++) {
    if (i > 0 && i % n == 0)
      out[o++] = c;
    out[o++] = s[i];
  }
  out[o] = '\0';
  text = String::adopt(out);
}

void strToUpper(String& text) {
  for (char* s = text.buf(); s && *s; s++)
    *s = static_cast<char>(toupper(static_cast<unsigned char>(*s)));
}

void strToLower(String& text) {
  for (char* s = text.buf(); s && *s; s++)
    *s = static_cast<char>(tolower(static_cast<unsigned char>(*s)));
}

bool strStartsWith(const char* text, const char* prefix) {
  if (!prefix)
    return true;
  if (!text)
    return *prefix == '\0';
  return strncmp(text, prefix, strlen(prefix)) == 0;
}

bool strEqual(const char* a, const char* b) {
  if (!a || !b)
    return a == b;
  return strcmp(a, b) == 0;
}

long strDecimal(const char* text, long def) {
  if (!text || !*text)
    return def;
  char* end;
  long value = strtol(text, &end, 10);
  return *end ? def : value;
}

std::vector<std::string> strSplitAll(const char* text, char c) {
  std::vector<std::string> pieces;
  if (!text)
    return pieces;
  for (;;) {
    const char* at = strchr(text, c);
    if (!at) {
      pieces.emplace_back(text);
      return pieces;
    }
    pieces.emplace_back(text, at);
    text = at + 1;
  }
}

// Shared by the three tokenizers: cuts the text at 'at' (sepLen bytes long).
static char* cutAt(char** cursor, char* at, int sepLen) {
  char* start = *cursor;
  if (at) {
    *at = '\0';
    *cursor = at + sepLen;
  } else {
    *cursor = nullptr;
  }
  return start;
}

char* strSepChar(char** cursor, char c) {
  if (!cursor || !*cursor)
    return nullptr;
  return cutAt(cursor, c ? strchr(*cursor, c) : nullptr, 1);
}

char* strSepAny(char** cursor, const char* set) {
  if (!cursor || !*cursor)
    return nullptr;
  char* at = *cursor + strcspn(*cursor, set);
  return cutAt(cursor, *at ? at : nullptr, 1);
}

char* strSepString(char** cursor, const char* separator) {
  if (!cursor || !*cursor)
    return nullptr;
  int sepLen = strLen(separator);
  return cutAt(cursor, sepLen ? strstr(*cursor, separator) : nullptr, sepLen);
}

} // namespace plat
