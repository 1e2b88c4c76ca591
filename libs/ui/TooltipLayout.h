// A layout whose children show their tooltips when the pointer rests over
// them: pointer motion over a child shows its tooltip, leaving or detaching
// the layout hides it.
#pragma once

#include "ui/TooltipManager.h"

#include "wvw/WLayout.h"

namespace ui {

class TooltipLayout : public wvw::WLayout, public TooltipManager {
public:
  // owner: null for the layout itself.
  explicit TooltipLayout(wvw::Widget* owner = nullptr);
  ~TooltipLayout() override;

  bool onPointerMove(const rfb::Point& pos, wvw::Widget* source) override;
  bool onPointerLeave(wvw::Widget* source) override;
  bool onDetach(wvw::Widget* source) override;
};

} // namespace ui
