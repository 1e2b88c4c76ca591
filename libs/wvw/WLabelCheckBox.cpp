#include "wvw/WLabelCheckBox.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WLabelCheckBox");

namespace wvw {

WLabelCheckBox::WLabelCheckBox(const char* text, bool checked) : WLabelWidget(text, 1, 1) {
  setWidget(&box_);
  box_.setChecked(checked);
}

WLabelCheckBox::~WLabelCheckBox() = default;

bool WLabelCheckBox::onButtonPress(int button, Widget* source) {
  if (source == getLabel() && button == 0 && box_.isEnabled()) {
    AliveCheck alive(this);
    if (box_.onClick(&box_) || alive.gone())
      return true;
  }
  return WLabelWidget::onButtonPress(button, source);
}

} // namespace wvw
