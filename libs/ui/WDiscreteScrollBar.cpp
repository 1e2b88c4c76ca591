#include "ui/WDiscreteScrollBar.h"

namespace ui {

bool WDiscreteScrollBar::onClick(wvw::Widget* source) {
  if (source == getIncButton())
    setValue(getValue() + step_);
  else if (source == getDecButton())
    setValue(getValue() - step_);
  // The bar's own one-unit stepping is bypassed.
  return Widget::onClick(source);
}

} // namespace ui
