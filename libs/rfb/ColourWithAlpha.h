// A colour with an alpha channel, as the compositing engine passes it between
// pixels and colour operations: four ints, each 0-255 when read from a pixel.
// Whether the colour is premultiplied is up to the operation that uses it.
#pragma once

namespace rfb {

struct ColourWithAlpha {
  constexpr ColourWithAlpha() : red(0), green(0), blue(0), alpha(0) {}
  constexpr ColourWithAlpha(int r, int g, int b, int a) : red(r), green(g), blue(b), alpha(a) {}
  constexpr bool operator==(const ColourWithAlpha& o) const {
    return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
  }
  constexpr bool operator!=(const ColourWithAlpha& o) const { return !(*this == o); }

  int red;
  int green;
  int blue;
  int alpha;
};

} // namespace rfb
