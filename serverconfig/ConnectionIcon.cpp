#include "serverconfig/ConnectionIcon.h"

#include <cstdint>

namespace serverconfig {

extern const uint8_t connectionIcon48x48[ConnectionIcon::iconSize * ConnectionIcon::iconSize * 4];

ConnectionIcon::ConnectionIcon() {
  setRgbPixels(connectionIcon48x48, iconSize, iconSize);
}

} // namespace serverconfig
