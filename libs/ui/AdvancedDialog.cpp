#include "ui/AdvancedDialog.h"

namespace ui {

AdvancedDialog::AdvancedDialog(_XDisplay* dpy, TXWParent* owner, wvw::Widget* tooltipOwner,
                               plat::ParameterSet* set, plat::ParameterSet* target)
    : WConfigLayout(dpy, owner, tooltipOwner, set, target), list_(set) {
  addChildAt(&list_, rfb::Point(hMargin_, vMargin_));
}

AdvancedDialog::~AdvancedDialog() {
  removeChild(&list_);
}

bool AdvancedDialog::onSizeChange(wvw::Widget* source) {
  if (source == this)
    setChildRect(&list_, rfb::Rect(hMargin_, vMargin_, width_ - hMargin_, height_ - vMargin_));
  return WConfigLayout::onSizeChange(source);
}

bool AdvancedDialog::validate(const PropertiesDialog::Page&) {
  apply();
  return true;
}

void AdvancedDialog::apply() {
  if (target_ && set_)
    target_->setValuesFrom(*set_);
}

bool AdvancedDialog::changed() const {
  return target_ && set_ && !target_->sameValuesAs(*set_);
}

} // namespace ui
