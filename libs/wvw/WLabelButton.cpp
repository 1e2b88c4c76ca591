#include "wvw/WLabelButton.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WLabelButton");

namespace wvw {

WLabelButton::WLabelButton(const char* text) : label_(text, 1) {
  label_.setMargin(0);
  label_.setAlignment(1, 1);
  setContent(&label_);
}

WLabelButton::~WLabelButton() = default;

} // namespace wvw
