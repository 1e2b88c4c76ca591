#include "ft/ShownName.h"

#include <cstdint>
#include <cstring>

namespace ft {

namespace {

// The length of the well-formed UTF-8 character at p (at most n bytes
// available) and its code point; 0 when the bytes do not form one.
std::size_t decode(const unsigned char* p, std::size_t n, std::uint32_t* code) {
  unsigned char lead = p[0];
  std::size_t length;
  std::uint32_t value, least;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
    least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    least = 0x10000;
  } else {
    return 0;
  }
  if (length > n)
    return 0;
  for (std::size_t i = 1; i < length; i++) {
    if ((p[i] & 0xC0) != 0x80)
      return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return 0;
  *code = value;
  return length;
}

bool hidden(std::uint32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C || code == 0x200E ||
         code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}

} // namespace

std::string shownName(const char* text) {
  std::string out;
  if (!text)
    return out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  std::size_t left = std::strlen(text);
  out.reserve(left);
  while (left > 0) {
    std::uint32_t code = 0;
    std::size_t length = decode(p, left, &code);
    if (length == 0) {
      out += '?';
      length = 1;
    } else if (hidden(code)) {
      out += '?';
    } else {
      out.append(reinterpret_cast<const char*>(p), length);
    }
    p += length;
    left -= length;
  }
  return out;
}

} // namespace ft
