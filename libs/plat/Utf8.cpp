#include "plat/Utf8.h"

#include "plat/Exception.h"

#include <cstring>

namespace plat {

namespace {

// Number of leading one bits of a lead byte (0 for a plain ASCII byte).
int leadingOnes(unsigned char c) {
  int n = 0;
  while (n < 8 && (c & (0x80 >> n)))
    n++;
  return n;
}

// The smallest code point that needs a sequence of k bytes.
unsigned int minimumForLength(int k) {
  switch (k) {
  case 2:
    return 0x80;
  case 3:
    return 0x800;
  default:
    return 0x10000;
  }
}

enum class Decode { ok, malformed, overlong };

// Decodes one sequence starting at p, reading no further than end (nullptr:
// stop at a NUL, which never is a continuation byte). Sets *next to the byte
// after the bytes examined.
Decode decodeOne(const unsigned char* p, const unsigned char* end, unsigned int* codePoint,
                 const unsigned char** next) {
  unsigned char lead = *p;
  int k = leadingOnes(lead);
  if (k == 0) {
    *codePoint = lead;
    *next = p + 1;
    return Decode::ok;
  }
  if (k == 1 || k > 4) {
    *next = p + 1;
    return Decode::malformed;
  }
  unsigned int cp = lead & (0x7f >> k);
  const unsigned char* q = p + 1;
  for (int i = 1; i < k; i++, q++) {
    if ((end && q >= end) || (*q & 0xc0) != 0x80) {
      // Resume after the bytes examined, but never step over the end or the
      // terminator.
      *next = ((end && q >= end) || (!end && *q == 0)) ? q : q + 1;
      return Decode::malformed;
    }
    cp = (cp << 6) | (*q & 0x3f);
  }
  *next = q;
  *codePoint = cp;
  return cp < minimumForLength(k) ? Decode::overlong : Decode::ok;
}

} // namespace

void utf8EncodeChar(unsigned int codePoint, char** cursor) {
  char* out = *cursor;
  if (codePoint < 0x80) {
    *out++ = static_cast<char>(codePoint);
  } else if (codePoint <= 0x7ff) {
    *out++ = static_cast<char>(0xc0 | (codePoint >> 6));
    *out++ = static_cast<char>(0x80 | (codePoint & 0x3f));
  } else if (codePoint <= 0xffff) {
    *out++ = static_cast<char>(0xe0 | (codePoint >> 12));
    *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3f));
    *out++ = static_cast<char>(0x80 | (codePoint & 0x3f));
  } else if (codePoint <= 0x10ffff) {
    *out++ = static_cast<char>(0xf0 | (codePoint >> 18));
    *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3f));
    *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3f));
    *out++ = static_cast<char>(0x80 | (codePoint & 0x3f));
  } else {
    throw Exception("Unicode out of range");
  }
  *cursor = out;
}

char* latin1ToUtf8(const char* begin, const char* end, char** endOut) {
  size_t length = end ? static_cast<size_t>(end - begin) : strlen(begin);
  // Every Latin-1 byte takes at most two UTF-8 bytes.
  char* result = new char[2 * length + 1];
  char* out = result;
  for (size_t i = 0; i < length; i++)
    utf8EncodeChar(static_cast<unsigned char>(begin[i]), &out);
  *out = '\0';
  if (endOut)
    *endOut = out;
  return result;
}

// Runs one of the text conversions over a counted buffer into out.
static void convertBuf(char* (*convert)(const char*, const char*, char**), int length,
                       const unsigned char* bytes, MBuf<unsigned char>& out) {
  if (length <= 0) {
    out.clear();
    return;
  }
  char* end;
  char* text = convert(reinterpret_cast<const char*>(bytes),
                       reinterpret_cast<const char*>(bytes) + length, &end);
  out.assign(reinterpret_cast<unsigned char*>(text), static_cast<int>(end - text));
  delete[] text;
}

void latin1BufToUtf8(int length, const unsigned char* bytes, MBuf<unsigned char>& out) {
  convertBuf(latin1ToUtf8, length, bytes, out);
}

char* utf8ToLatin1(const char* begin, const char* end, char** endOut) {
  const unsigned char* src = reinterpret_cast<const unsigned char*>(begin);
  const unsigned char* stop = reinterpret_cast<const unsigned char*>(end);
  // Two passes: count the characters, then convert.
  size_t count = 0;
  for (const unsigned char* p = src; stop ? p < stop : *p != 0;) {
    unsigned int cp;
    const unsigned char* next;
    if (decodeOne(p, stop, &cp, &next) == Decode::ok && cp == 0 && !stop)
      break;
    count++;
    p = next;
  }
  char* result = new char[count + 1];
  char* out = result;
  for (const unsigned char* p = src; stop ? p < stop : *p != 0;) {
    unsigned int cp;
    const unsigned char* next;
    Decode d = decodeOne(p, stop, &cp, &next);
    if (d == Decode::ok && cp == 0 && !stop)
      break;
    *out++ = (d == Decode::ok && cp <= 0xff) ? static_cast<char>(cp) : '?';
    p = next;
  }
  *out = '\0';
  if (endOut)
    *endOut = out;
  return result;
}

void utf8BufToLatin1(int length, const unsigned char* bytes, MBuf<unsigned char>& out) {
  convertBuf(utf8ToLatin1, length, bytes, out);
}

bool checkUtf8(char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    unsigned int cp;
    const unsigned char* next;
    if (decodeOne(p, nullptr, &cp, &next) != Decode::ok)
      return false;
    if ((cp >= 0xd800 && cp <= 0xdfff) || cp > 0x10ffff)
      return false;
    p = next;
  }
  return true;
}

} // namespace plat
