#include "plat/Base64Tool.h"

#include "plat/LogWriter.h"
#include "plat/XMLNode.h"

#include <memory>

static plat::LogWriter vlog("Base64Tool");

namespace xml {

const char Base64Tool::base64EncodeTable[65] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

namespace {

// Value of each byte: 0..63 for the alphabet, padding for '=', skip for
// white space, end for the terminator, bad for everything else.
enum : signed char { padding = 64, skip = 65, end = 66, bad = 67 };

struct DecodeTable {
  signed char v[256];
  DecodeTable() {
    for (int i = 0; i < 256; i++)
      v[i] = bad;
    for (int i = 0; i < 64; i++)
      v[static_cast<unsigned char>(Base64Tool::base64EncodeTable[i])] = static_cast<signed char>(i);
    v[static_cast<unsigned char>('=')] = padding;
    v[static_cast<unsigned char>(' ')] = v[static_cast<unsigned char>('\t')] = skip;
    v[static_cast<unsigned char>('\n')] = v[static_cast<unsigned char>('\r')] = skip;
    v[0] = end;
  }
};
const DecodeTable decodeTable;

} // namespace

int Base64Tool::encodeLength(int length, bool formatted) {
  if (length < 0)
    length = 0;
  int n = (length - 1) / 3 * 4 + 5;
  // One line feed per 18 groups; a short last group counts as a group, so
  // 52 and 53 bytes already need their line feed.
  if (formatted)
    n += (length + 2) / 54;
  return n;
}

plat::String Base64Tool::encode(const unsigned char* data, int length, bool formatted) {
  if (length < 0 || (!data && length > 0))
    length = 0;
  std::unique_ptr<char[]> buf(new char[encodeLength(length, formatted)]);
  char* o = buf.get();
  int groups = 0;
  for (int i = 0; i < length; i += 3) {
    unsigned v = static_cast<unsigned>(data[i]) << 16;
    int n = length - i;
    if (n > 1)
      v |= static_cast<unsigned>(data[i + 1]) << 8;
    if (n > 2)
      v |= data[i + 2];
    *o++ = base64EncodeTable[(v >> 18) & 63];
    *o++ = base64EncodeTable[(v >> 12) & 63];
    *o++ = n > 1 ? base64EncodeTable[(v >> 6) & 63] : '=';
    *o++ = n > 2 ? base64EncodeTable[v & 63] : '=';
    if (formatted && ++groups == 18) {
      *o++ = '\n';
      groups = 0;
    }
  }
  *o = '\0';
  return plat::String::adopt(buf.release());
}

int Base64Tool::decodeSize(const char* text, int* error) {
  if (error)
    *error = eXMLNoError;
  if (!text)
    return 0;
  long chars = 0, pads = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; p++) {
    int v = decodeTable.v[*p];
    if (v == skip)
      continue;
    if (v == bad) {
      if (error)
        *error = eXMLBase64IllegalCharacter;
      return 0;
    }
    chars++;
    if (v == padding)
      pads++;
  }
  if (error && chars % 4 != 0)
    *error = eXMLBase64LengthNotMultipleOf4;
  long size = chars * 3 / 4 - pads;
  if (size < 0)
    size = 0;
  return size > 0x3fffffff ? 0x3fffffff : static_cast<int>(size);
}

int Base64Tool::decode(const char* text, unsigned char* out, int outLength, int* decoded) {
  if (decoded)
    *decoded = 0;
  int error = eXMLNoError;
  int size = decodeSize(text, &error);
  if (error == eXMLBase64IllegalCharacter)
    return error;
  if (outLength < size)
    return eXMLBase64BufferTooSmall;
  if (!text)
    return eXMLNoError;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  int written = 0;
  for (;;) {
    int group[4];
    int n = 0;
    while (n < 4) {
      int v = decodeTable.v[*p];
      if (v == end)
        break;
      p++;
      if (v != skip)
        group[n++] = v;
    }
    if (n == 0)
      break;
    if (n < 4) {
      vlog.debug("base64 text ends inside a group");
      return eXMLBase64Truncated;
    }
    // Padding only at the end of a group: "xx==" or "xxx=".
    if (group[0] == padding || group[1] == padding || (group[2] == padding && group[3] != padding))
      return eXMLBase64IllegalCharacter;
    int bytes = group[2] == padding ? 1 : group[3] == padding ? 2 : 3;
    if (written + bytes > size)
      return eXMLBase64IllegalCharacter;
    unsigned v = static_cast<unsigned>(group[0]) << 18 | static_cast<unsigned>(group[1]) << 12;
    if (bytes > 1)
      v |= static_cast<unsigned>(group[2]) << 6;
    if (bytes > 2)
      v |= static_cast<unsigned>(group[3]);
    out[written++] = static_cast<unsigned char>(v >> 16);
    if (bytes > 1)
      out[written++] = static_cast<unsigned char>(v >> 8);
    if (bytes > 2)
      out[written++] = static_cast<unsigned char>(v);
    if (decoded)
      *decoded = written;
  }
  return eXMLNoError;
}

} // namespace xml
