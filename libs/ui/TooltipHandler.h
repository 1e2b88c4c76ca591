// Shows the tooltips of the widgets whose input handler it is (a dialog's
// widgets): pointer motion over one shows its tooltip, leaving or any
// detach hides it.
#pragma once

#include "ui/TooltipManager.h"

#include "wvw/WInputHandler.h"

namespace ui {

class TooltipHandler : public wvw::WInputHandler, public TooltipManager {
public:
  explicit TooltipHandler(wvw::Widget* owner) : TooltipManager(owner) {}

  bool onPointerMove(const rfb::Point& pos, wvw::Widget* source) override {
    showTooltip(pos, source);
    return true;
  }
  bool onPointerLeave(wvw::Widget*) override {
    hideTooltip();
    return true;
  }
  bool onDetach(wvw::Widget*) override {
    hideTooltip();
    return true;
  }
};

} // namespace ui
