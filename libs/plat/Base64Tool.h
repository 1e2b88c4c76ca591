// Base64 encoding and decoding (standard alphabet, "=" padding) for binary
// data carried in XML texts. Encoding can break lines after 72 characters;
// decoding skips blanks, tabs and line breaks and reports failures with the
// base64 codes of xml::XMLError.
#pragma once

#include "plat/String.h"

namespace xml {

class Base64Tool {
public:
  static const char base64EncodeTable[65];

  // An upper bound of the encoded size of length bytes, terminator included.
  static int encodeLength(int length, bool formatted = false);
  // The encoded text; when formatted, a line feed follows every 72 characters.
  static plat::String encode(const unsigned char* data, int length, bool formatted = false);
  // The number of bytes the text decodes to. *error (when not null) gets 0,
  // eXMLBase64IllegalCharacter, or eXMLBase64LengthNotMultipleOf4 (the size
  // is still given).
  static int decodeSize(const char* text, int* error = nullptr);
  // Decodes into out[0..outLength); returns 0 or an error code
  // (eXMLBase64IllegalCharacter, eXMLBase64Truncated,
  // eXMLBase64BufferTooSmall). *decoded gets the number of bytes written.
  static int decode(const char* text, unsigned char* out, int outLength, int* decoded = nullptr);
};

} // namespace xml
