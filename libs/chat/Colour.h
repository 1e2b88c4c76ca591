// A drawing colour of the chat transcript: red, green and blue, each 0-255.
// Plain value; the fixed colours are constants of ColourAllocator.
#pragma once

#include <cstdint>

namespace chat {

struct Colour {
  std::uint32_t red;
  std::uint32_t green;
  std::uint32_t blue;

  bool operator==(const Colour& o) const {
    return red == o.red && green == o.green && blue == o.blue;
  }
  bool operator!=(const Colour& o) const { return !(*this == o); }
};

} // namespace chat
