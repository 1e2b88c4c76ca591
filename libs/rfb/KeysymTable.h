// The keysym-to-Unicode pairs of the legacy keysym groups, generated at build
// time from the X keysym definitions (tools/gen_keysym_table.py).
#pragma once

#include <cstddef>
#include <cstdint>

namespace rfb {

struct KeysymUnicode {
  uint32_t keysym;
  uint32_t ucs;
};

extern const KeysymUnicode keysymUnicodeTable[];
extern const size_t keysymUnicodeCount;

} // namespace rfb
