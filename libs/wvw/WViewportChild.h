// What a viewport tells the widget it shows: the view's top-left corner in
// content coordinates after every scroll.
#pragma once

#include "rfb/Point.h"

namespace wvw {

class WViewportChild {
public:
  virtual ~WViewportChild();
  virtual void onScroll(const rfb::Point& topLeft) = 0;
};

} // namespace wvw
