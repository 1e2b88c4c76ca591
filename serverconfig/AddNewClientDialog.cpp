#include "serverconfig/AddNewClientDialog.h"

#include "rfb/KeysymNames.h"

#include "plat/LogWriter.h"

#include <algorithm>

namespace serverconfig {

static plat::LogWriter vlog("AddNewClientDialog");

const char* const AddNewClientDialog::title = "Connect to Listening Zav Viewer";

namespace {
const int buttonWidth = 76;
const int buttonHeight = 26;
const int iconSize = ConnectionIcon::iconSize;
const int fieldWidth = 260;
namespace keys = rfb::keys;
} // namespace

AddNewClientDialog::AddNewClientDialog(Display* dpy)
    : TXDialog(dpy, 1, 1, title, false, true),
      prompt_("Enter the address of the computer to connect to, which must be running a "
              "Listening Zav Viewer.",
              0),
      address_(maxAddressLength), ok_("OK"), cancel_("Cancel") {
  const int p = xPad;
  int fieldHeight;
  int unused;
  address_.getPreferredSize(&unused, &fieldHeight);
  address_.setSize(fieldWidth, fieldHeight);
  int w = std::max(fieldWidth, p + 2 * buttonWidth);
  int x = (w - fieldWidth) / 2 + iconSize + 10 + p;

  prompt_.setWordWrap(true);
  prompt_.setSize(fieldWidth, 0);
  int promptWidth, promptHeight;
  prompt_.getPreferredSize(&promptWidth, &promptHeight);
  prompt_.setSize(promptWidth, promptHeight);

  ok_.setSize(buttonWidth, buttonHeight);
  cancel_.setSize(buttonWidth, buttonHeight);
  ok_.setEnabled(false);

  int fieldY = 10 + promptHeight + p;
  int buttonY = fieldY + fieldHeight + p;
  int okX = (w - (p + 2 * buttonWidth)) / 2 + iconSize + 10 + p;
  content_.addChildAt(&icon_, rfb::Point(10, 10));
  content_.addChildAt(&prompt_, rfb::Point(x, 10));
  content_.addChildAt(&address_, rfb::Point(x, fieldY));
  content_.addChildAt(&ok_, rfb::Point(okX, buttonY));
  content_.addChildAt(&cancel_, rfb::Point(okX + buttonWidth + p, buttonY));
  setClientSize(w + iconSize + 20 + p, buttonY + buttonHeight + 10, true);
  content_.setInputHandler(this);
}

AddNewClientDialog::~AddNewClientDialog() {
  content_.setInputHandler(nullptr);
  content_.removeChild(&cancel_);
  content_.removeChild(&ok_);
  content_.removeChild(&address_);
  content_.removeChild(&prompt_);
  content_.removeChild(&icon_);
}

bool AddNewClientDialog::onChange(wvw::Widget* source) {
  if (source == &address_)
    ok_.setEnabled(address_.getText()[0] != '\0');
  return false;
}

bool AddNewClientDialog::onKey(uint32_t keysym, bool down, wvw::Widget* source) {
  if (keysym == keys::Return && down && source == &address_ && ok_.isEnabled()) {
    endDialog(true);
    return true;
  }
  return false;
}

bool AddNewClientDialog::onClick(wvw::Widget* source) {
  if (source == &ok_) {
    endDialog(true);
    return true;
  }
  if (source == &cancel_) {
    endDialog(false);
    return true;
  }
  return false;
}

} // namespace serverconfig
