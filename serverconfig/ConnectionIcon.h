// The connection icon of the connect-to-viewer and connection test dialogs:
// a 48 x 48 image widget filled from the built-in pixel data (drawn by
// tools/make_connection_icon.py). The pixels are the widget's own copy.
#pragma once

#include "wvw/WImage.h"

namespace serverconfig {

class ConnectionIcon : public wvw::WImage {
public:
  static constexpr int iconSize = 48;

  ConnectionIcon();
};

} // namespace serverconfig
