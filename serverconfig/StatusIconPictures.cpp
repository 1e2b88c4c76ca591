#include "serverconfig/StatusIconPictures.h"

namespace serverconfig {

namespace {

typedef StatusIconPicture Picture;

// A disc of the given colour with a light rim on a mid-grey ground (the tray
// draws the picture as it is, without transparency).
constexpr Picture disc(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  Picture p{};
  for (int y = 0; y < statusIconSize; y++) {
    for (int x = 0; x < statusIconSize; x++) {
      int dx = 2 * x - 47, dy = 2 * y - 47;
      int d = dx * dx + dy * dy; // twice the distance from the centre, squared
      std::uint8_t c[3] = {0x80, 0x80, 0x80};
      if (d <= 40 * 40) {
        c[0] = r;
        c[1] = g;
        c[2] = b;
      } else if (d <= 46 * 46) {
        c[0] = c[1] = c[2] = 0xf0;
      }
      for (int i = 0; i < 3; i++)
        p[(y * statusIconSize + x) * 3 + i] = c[i];
    }
  }
  return p;
}

} // namespace

// Computed by the compiler: constant data the pixbufs are made over.
const Picture zavconfigUnconnected = disc(0x30, 0x60, 0xc0);
const Picture zavconfigConnected = disc(0x20, 0xb0, 0x30);
const Picture zavconfigDisabled = disc(0x50, 0x50, 0x50);
const Picture zavconfigError = disc(0xe0, 0x10, 0x10);

const std::uint8_t* statusIconPicture(unsigned state) {
  switch (state) {
  case 0:
    return zavconfigUnconnected.data();
  case 1:
    return zavconfigConnected.data();
  case 2:
    return zavconfigDisabled.data();
  default:
    return zavconfigError.data();
  }
}

} // namespace serverconfig
