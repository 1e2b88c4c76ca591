// Names for the keysyms that widgets and dialogs react to: the values a
// viewer sends in a key event.
#pragma once

#include <cstdint>

namespace rfb {
namespace keys {

constexpr uint32_t space = 0x20;
constexpr uint32_t slash = 0x2F;
constexpr uint32_t BackSpace = 0xFF08;
constexpr uint32_t Tab = 0xFF09;
constexpr uint32_t Return = 0xFF0D;
constexpr uint32_t Escape = 0xFF1B;
constexpr uint32_t Multi_key = 0xFF20;
constexpr uint32_t Home = 0xFF50;
constexpr uint32_t Left = 0xFF51;
constexpr uint32_t Up = 0xFF52;
constexpr uint32_t Right = 0xFF53;
constexpr uint32_t Down = 0xFF54;
constexpr uint32_t Page_Up = 0xFF55;
constexpr uint32_t Page_Down = 0xFF56;
constexpr uint32_t End = 0xFF57;
constexpr uint32_t KP_Tab = 0xFF89;
constexpr uint32_t Shift_L = 0xFFE1;
constexpr uint32_t Shift_R = 0xFFE2;
constexpr uint32_t Control_L = 0xFFE3;
constexpr uint32_t Control_R = 0xFFE4;
constexpr uint32_t Alt_L = 0xFFE9;
constexpr uint32_t Alt_R = 0xFFEA;
constexpr uint32_t Delete = 0xFFFF;

} // namespace keys
} // namespace rfb
