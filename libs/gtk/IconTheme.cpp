#include "gtk/IconTheme.h"

#include "gtk/Functions.h"

namespace gtk {

GtkIconTheme* IconTheme::get() {
  if (theme_.empty())
    theme_.reset(gtk_icon_theme_new());
  return static_cast<GtkIconTheme*>(theme_.get());
}

void IconTheme::setCustomTheme(const char* name) {
  gtk_icon_theme_set_custom_theme(get(), name);
}

} // namespace gtk
