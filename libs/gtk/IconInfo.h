// Owns one GtkIconInfo (null when empty), the answer of an icon theme lookup.
// Releasing an empty holder makes no library call.
#pragma once

#include "gtk/Types.h"

namespace gtk {

class IconTheme;

class IconInfo {
public:
  IconInfo() = default;
  ~IconInfo() { release(); }
  IconInfo(const IconInfo&) = delete;
  IconInfo& operator=(const IconInfo&) = delete;

  GtkIconInfo* get() const { return info_; }
  bool empty() const { return info_ == nullptr; }

  // Each frees the held information and holds the new answer (which may be
  // null when the theme has no such icon).
  void lookupIcon(IconTheme& theme, const char* name, int size, GtkIconLookupFlags flags);
  void chooseIcon(IconTheme& theme, const char* names[], int size, GtkIconLookupFlags flags);

  void release();

private:
  GtkIconInfo* info_ = nullptr;
};

} // namespace gtk
