#include "plat/Hex.h"

#include "plat/Assert.h"
#include "plat/StringUtils.h"

namespace plat {

char intToHexDigit(int i) {
  PLAT_CHECK(i >= 0 && i <= 15);
  return "0123456789abcdef"[i];
}

bool hexToBin(const char* text, MBuf<unsigned char>& out) {
  out.clear();
  int len = strLen(text);
  if (len % 2 != 0)
    return false;
  MBuf<unsigned char> bytes(len / 2);
  for (int i = 0; i < len / 2; i++) {
    unsigned char v = 0;
    if (!addHexDigit(text[2 * i], v) || !addHexDigit(text[2 * i + 1], v))
      return false;
    bytes[i] = v;
  }
  out = std::move(bytes);
  return true;
}

String binToHex(int length, const unsigned char* bytes) {
  if (length <= 0)
    return String("");
  char* out = new char[2 * static_cast<size_t>(length) + 1];
  for (int i = 0; i < length; i++) {
    out[2 * i] = intToHexDigit(bytes[i] >> 4);
    out[2 * i + 1] = intToHexDigit(bytes[i] & 15);
  }
  out[2 * static_cast<size_t>(length)] = '\0';
  return String::adopt(out);
}

void hexDump(const char* prefix, const char* linePrefix, const unsigned char* bytes, int count,
             FILE* out) {
  fputs(prefix ? prefix : "", out);
  for (int lineStart = 0; lineStart < count; lineStart += 16) {
    if (lineStart > 0)
      fputs(linePrefix ? linePrefix : "", out);
    int n = count - lineStart < 16 ? count - lineStart : 16;
    for (int i = 0; i < 16; i++) {
      if (i < n)
        fprintf(out, "%02x ", bytes[lineStart + i]);
      else
        fputs("   ", out);
      if (i % 4 == 3)
        fputc(' ', out);
    }
    for (int i = 0; i < n; i++) {
      unsigned char c = bytes[lineStart + i];
      fputc(c >= 0x20 && c <= 0x7e ? c : '.', out);
    }
    fputc('\n', out);
  }
  fflush(out);
}

} // namespace plat
