// Operations on NUL-terminated texts: bounded appends into fixed arrays,
// owned copies, splitting, trimming, case, and in-place tokenizers. Texts are
// byte strings; lengths are signed 32-bit and capped at 0x3fffffff.
#pragma once

#include "plat/String.h"

#include <cstdarg>
#include <string>
#include <vector>

namespace plat {

// Appends the whole text (count < 0) or at most count characters, stopping at
// a NUL, to the text held in dest[size]; the result is always terminated and
// cut at size - 1 characters.
void strAppend(char* dest, int size, const char* text, int count = -1);
// Bounded printf-style append at the end of the text in dest[size].
void strAppendV(char* dest, int size, const char* format, va_list ap);
char* strAppendF(char* dest, int size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Bounded append of n copies of the character.
void strAppendChars(char* dest, int size, char c, int n);

// The fixed-array fronts used to build exception messages and small numbers.
template <int N>
char* strAppendF(char (&dest)[N], const char* format, ...) __attribute__((format(printf, 2, 3)));
template <int N> char* strAppendF(char (&dest)[N], const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  strAppendV(dest, N, format, ap);
  va_end(ap);
  return dest;
}

// A new copy (allocated with new[], owned by the caller) of the whole text
// (count < 0) or of exactly count bytes followed by a NUL; nullptr for nullptr.
char* strDup(const char* text, int count = -1);
// The length of the text, capped at 0x3fffffff; 0 for nullptr.
int strLen(const char* text);

// Splits at the first (or, fromEnd, the last) occurrence of c. Found: head is
// the part before, tail the part after, and the result is true. Not found:
// head is the whole text, tail is absent and the result is false. Either
// output may be nullptr, and the text may be the one an output holds.
bool strSplit(const char* text, char c, String* head, String* tail, bool fromEnd = false);

// The pieces of text between the occurrences of c, empty ones included: the
// whole text when c does not occur, one empty piece for an empty text, none
// for nullptr.
std::vector<std::string> strSplitAll(const char* text, char c);

// The text (empty for nullptr) with '?' in place of each character that could
// break the line or change how the rest reads: the control characters (C0,
// DEL, C1), the marks and overrides of text direction (U+061C, U+200E,
// U+200F, U+202A to U+202E, U+2066 to U+2069), and each byte that is not part
// of a well-formed UTF-8 character. Outside text such as a viewer's name or a
// file name, shown or printed on one line, can then neither break the line,
// start lines of its own nor disguise itself.
std::string strOneLine(const char* text);

// The text (empty for nullptr) as a log line or record may hold it when it
// came from another party (a user name, an address, a file name): each byte
// of a control character (C0, DEL, C1), of a mark that reorders or hides
// text (the bidirectional controls), of a sequence that is not valid UTF-8,
// and the backslash itself, written as "\xNN" (two lower-case hexadecimal
// digits), so that the text can neither start, change nor hide lines and is
// read back unambiguously. At most maxBytes bytes of the result are kept,
// never cutting an escape or a character, and "..." follows when the text
// was cut. With wholeMessage, LF and the backslash stay as they are: for a
// whole log message, whose target indents its further lines, and whose
// quoted texts were escaped already (escaped again, "\x0a" would read
// "\x5cx0a").
std::string strLoggable(const char* text, size_t maxBytes = 256, bool wholeMessage = false);

// Cuts trailing white space.
void strTrimRight(String& text);
// Removes leading white space.
void strTrimLeft(String& text);
// Inserts c after every n characters (not after the last); n == 0 does nothing.
void strInsertEvery(String& text, char c, int n);
void strToUpper(String& text);
void strToLower(String& text);
// True when text begins with prefix; a null prefix always matches; a null
// text matches only an empty prefix.
bool strStartsWith(const char* text, const char* prefix);
// Equal texts, or both absent.
bool strEqual(const char* a, const char* b);
// The base-10 number (strtol's leading blanks and sign allowed) that fills
// the whole text; def for nullptr, an empty text or anything after the digits.
long strDecimal(const char* text, long def);

// In-place tokenizers over a writable text. Each returns the text at the
// cursor; when the separator occurs it is overwritten by a NUL and the cursor
// moves past it, otherwise the cursor becomes nullptr. A null cursor text
// returns nullptr.
char* strSepChar(char** cursor, char c);
char* strSepAny(char** cursor, const char* set);
char* strSepString(char** cursor, const char* separator);

} // namespace plat
