// A menu item with a one-bit icon at its right end. The item owns the icon
// widget; the bitmap is not owned.
#pragma once

#include "wvw/WIcon.h"
#include "wvw/WMenuItem.h"

#include <memory>

namespace wvw {

class WIconMenuItem : public WMenuItem {
public:
  WIconMenuItem(WMenu* menu, const char* text, bool checkable);
  ~WIconMenuItem() override;

  bool onSizeChange(Widget* source) override;
  // The item's width plus the icon's and 8.
  void getPreferredSize(int* width, int* height) override;
  void updateLayout() override;

  // Replaces the icon with one showing the bitmap at the given size.
  void setIcon(const uint8_t* bitmap, int width, int height);
  WIcon* getIcon() const { return icon_.get(); }

private:
  std::unique_ptr<WIcon> icon_;
};

} // namespace wvw
