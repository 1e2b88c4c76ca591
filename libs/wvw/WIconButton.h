// A bevel button showing a one-bit icon (a member); the bitmap is not owned.
#pragma once

#include "wvw/WBevelButton.h"
#include "wvw/WIcon.h"

namespace wvw {

class WIconButton : public WBevelButton {
public:
  WIconButton(const uint8_t* bitmap, int width, int height);
  ~WIconButton() override;

  WIcon* getIcon() { return &icon_; }

private:
  WIcon icon_;
};

} // namespace wvw
