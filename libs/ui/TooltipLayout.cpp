#include "ui/TooltipLayout.h"

namespace ui {

TooltipLayout::TooltipLayout(wvw::Widget* owner) : TooltipManager(owner ? owner : this) {
}

TooltipLayout::~TooltipLayout() {
  hideTooltip();
}

bool TooltipLayout::onPointerMove(const rfb::Point& pos, wvw::Widget* source) {
  showTooltip(pos, source);
  return true;
}

bool TooltipLayout::onPointerLeave(wvw::Widget*) {
  hideTooltip();
  return true;
}

bool TooltipLayout::onDetach(wvw::Widget* source) {
  if (source != this)
    return WLayout::onDetach(source);
  hideTooltip();
  return true;
}

} // namespace ui
