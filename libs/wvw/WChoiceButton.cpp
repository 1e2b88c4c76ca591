#include "wvw/WChoiceButton.h"

#include "wvw/WLayoutMenu.h"

#include "rfb/KeysymNames.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WChoiceButton");

namespace wvw {

namespace {
namespace keys = rfb::keys;
}

WChoiceButton::WChoiceButton(WLayoutMenu* menu)
    : WArrowButton(WArrow::Down), menu_(menu), menuClosedAtPress_(true) {
}

WChoiceButton::~WChoiceButton() = default;

bool WChoiceButton::onKey(uint32_t keysym, bool down, Widget* source) {
  if (source == this) {
    if (down) {
      menuClosedAtPress_ = !menu_->isVisible();
    } else if (!menuClosedAtPress_) {
      menuClosedAtPress_ = true;
      if (keysym == keys::Return)
        setPressed(false);
      return true;
    }
  }
  return WArrowButton::onKey(keysym, down, source);
}

} // namespace wvw
