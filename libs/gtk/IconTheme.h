// Holds the GtkIconTheme the program looks file icons up in, created on
// first use.
#pragma once

#include "gtk/Object.h"

namespace gtk {

class IconTheme {
public:
  // The theme, created when there is none yet.
  GtkIconTheme* get();
  // Makes the theme use the named desktop theme.
  void setCustomTheme(const char* name);

private:
  Object theme_;
};

} // namespace gtk
