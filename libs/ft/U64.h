// Unsigned 64-bit values on the file-transfer wire: two 32-bit halves, the
// high one first, as the messages and the share entries carry them.
#pragma once

#include "rdr/InStream.h"
#include "rdr/OutStream.h"

#include <cstdint>

namespace ft {

inline std::uint64_t readU64(rdr::InStream* is) {
  std::uint64_t high = is->readU32();
  return (high << 32) | is->readU32();
}

inline void writeU64(rdr::OutStream* os, std::uint64_t v) {
  os->writeU32(static_cast<std::uint32_t>(v >> 32));
  os->writeU32(static_cast<std::uint32_t>(v));
}

} // namespace ft
