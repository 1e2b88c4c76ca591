#include "serverconfig/StatusIconPictures.h"

namespace serverconfig {

// The pictures themselves are drawn by tools/make_status_icons.py
// (StatusIconPicturesData.cpp).

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
