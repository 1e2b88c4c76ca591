// The font and colours a widget draws with. Records are owned by whoever made
// them (the default style is a static record); the font is not owned.
#pragma once

#include "rfb/Colour.h"

#include <cstdint>

namespace wvw {

class Font;

class Style {
public:
  Font* font;
  rfb::Colour textColour;
  rfb::Colour disabledTextColour;
  rfb::Colour fieldBackground;
  rfb::Colour disabledFieldBackground;
  rfb::Colour background;
  rfb::Colour bevelHighlight;
  rfb::Colour bevelShadow;
  rfb::Colour selectedTextColour;
  rfb::Colour selectedBackground;
  rfb::Colour focusColour;
  int32_t bevelWidth;
};

} // namespace wvw
