// The four 48 by 48 pictures of the tray icon, 8-bit RGB without alpha, rows
// of 144 bytes: the product logo on a mid-grey ground, its colours telling
// the server's state.
#pragma once

#include <array>
#include <cstdint>

namespace serverconfig {

constexpr int statusIconSize = 48;
constexpr int statusIconBytes = statusIconSize * statusIconSize * 3;

typedef std::array<std::uint8_t, statusIconBytes> StatusIconPicture;

extern const StatusIconPicture zavconfigUnconnected;
extern const StatusIconPicture zavconfigConnected;
extern const StatusIconPicture zavconfigDisabled;
extern const StatusIconPicture zavconfigError;

// The picture of a tray state: 0 unconnected, 1 connected, 2 disabled, any
// other the error picture.
const std::uint8_t* statusIconPicture(unsigned state);

} // namespace serverconfig
