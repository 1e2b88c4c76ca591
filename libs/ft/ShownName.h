// How a name or a text holding names that came from a peer is shown to the
// user or written to the log: on one line, as it reads. Free functions.
#pragma once

#include <string>

namespace ft {

// The text (empty for nullptr) with '?' in place of each character that could
// break the line or change how the rest reads: the control characters (below
// 0x20, DEL, and U+0080 to U+009F), the marks and overrides of text direction
// (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069), and each byte
// that is not part of a well-formed UTF-8 character. Other text is kept.
std::string shownName(const char* text);

} // namespace ft
