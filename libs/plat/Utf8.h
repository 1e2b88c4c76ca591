// Conversions between UTF-8 and 8-bit Latin-1, single code point encoding,
// and the validation that string parameters apply before storing a text.
// Functions that return char* hand back a text allocated with new[] that the
// caller owns (wrap it with plat::String::adopt).
#pragma once

#include "plat/MBuf.h"

namespace plat {

// Writes the UTF-8 form of codePoint at *cursor (1 to 4 bytes) and advances
// the cursor. A code point above 0x10FFFF throws plat::Exception
// "Unicode out of range".
void utf8EncodeChar(unsigned int codePoint, char** cursor);

// Encodes each byte of [begin, end) as a code point 0..255. Without end the
// text stops at its first NUL. When endOut is given it receives the position
// of the output's terminator.
char* latin1ToUtf8(const char* begin, const char* end = nullptr, char** endOut = nullptr);
// The same for a counted buffer; out's length excludes the terminator that
// follows the bytes.
void latin1BufToUtf8(int length, const unsigned char* bytes, MBuf<unsigned char>& out);

// Decodes UTF-8 into 8-bit text: code points above 255 become '?', and each
// malformed sequence (bad lead or continuation byte, an over-long form, a
// sequence cut by the end) becomes one '?'. Without end decoding stops at a
// NUL. When endOut is given it receives the position of the terminator.
char* utf8ToLatin1(const char* begin, const char* end = nullptr, char** endOut = nullptr);
// The same for a counted buffer.
void utf8BufToLatin1(int length, const unsigned char* bytes, MBuf<unsigned char>& out);

// Validates a whole NUL-terminated text as UTF-8. False for a bad lead byte,
// a bad continuation byte, an over-long form (such as C0 80, which would
// smuggle a NUL into the value), a surrogate or a code point above 0x10FFFF.
bool checkUtf8(char* text);

} // namespace plat
