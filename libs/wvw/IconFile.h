// The icon registry: complete icon files compiled into the program and
// looked up by file name by the image widget. The registry lives for the
// whole run and never copies the file bytes (they are the program's static
// data). The built-in icons are registered when the registry is first used,
// so they are there however early a caller asks.
#pragma once

#include <cstdint>

namespace wvw {

struct IconFile {
  uint32_t size;       // bytes of the file; 0 when nothing is registered
  const uint8_t* data; // not owned
};

// Adds or replaces the record for a name.
void registerIcon(const char* name, uint32_t size, const uint8_t* data);
// The record for a name; size 0 and null data for a name never registered.
IconFile findIcon(const char* name);

// Registers the icon files built into the program (generated from
// libs/wvw/icons).
void registerBuiltInIcons();

} // namespace wvw
