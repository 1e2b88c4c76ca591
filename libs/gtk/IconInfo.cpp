#include "gtk/IconInfo.h"

#include "gtk/Functions.h"
#include "gtk/IconTheme.h"

namespace gtk {

void IconInfo::lookupIcon(IconTheme& theme, const char* name, int size, GtkIconLookupFlags flags) {
  GtkIconTheme* t = theme.get();
  release();
  info_ = gtk_icon_theme_lookup_icon(t, name, size, flags);
}

void IconInfo::chooseIcon(IconTheme& theme, const char* names[], int size,
                          GtkIconLookupFlags flags) {
  GtkIconTheme* t = theme.get();
  release();
  info_ = gtk_icon_theme_choose_icon(t, names, size, flags);
}

void IconInfo::release() {
  if (!info_)
    return;
  GtkIconInfo* info = info_;
  info_ = nullptr;
  gtk_icon_info_free(info);
}

} // namespace gtk
