// The keysym-to-Unicode pairs of the legacy keysym groups: static data in
// KeysymTable.cpp, generated once from the X keysym definitions by
// tools/gen_keysym_table.py and committed.
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
