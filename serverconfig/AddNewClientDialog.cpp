#include "serverconfig/AddNewClientDialog.h"

#include "plat/LogWriter.h"
#include "rfb/PixelLayout.h"

#include <algorithm>

namespace serverconfig {

static plat::LogWriter vlog("AddNewClientDialog");

const char* const AddNewClientDialog::title = "Connect to Listening Zav Viewer";

namespace {
const int pad = 3;
const int buttonWidth = 76;
const int buttonHeight = 26;
const int iconSize = 48;
const int fieldWidth = 260;
const uint32_t returnKey = 0xFF0D;
} // namespace

AddNewClientDialog::AddNewClientDialog()
    : prompt_("Enter the address of the computer to connect to, which must be running a "
              "Listening Zav Viewer.",
              0),
      address_(maxAddressLength), ok_("OK"), cancel_("Cancel") {
  icon_.resizeImage(rfb::PixelLayout(32, 24, false, true, 255, 255, 255, 0, 8, 16), iconSize,
                    iconSize);
  icon_.setSize(iconSize, iconSize);

  int fieldHeight;
  int unused;
  address_.getPreferredSize(&unused, &fieldHeight);
  address_.setSize(fieldWidth, fieldHeight);
  int w = std::max(fieldWidth, pad + 2 * buttonWidth);
  int x = (w - fieldWidth) / 2 + iconSize + 10 + pad;

  prompt_.setWordWrap(true);
  prompt_.setSize(fieldWidth, 0);
  int promptWidth, promptHeight;
  prompt_.getPreferredSize(&promptWidth, &promptHeight);
  prompt_.setSize(promptWidth, promptHeight);

  ok_.setSize(buttonWidth, buttonHeight);
  cancel_.setSize(buttonWidth, buttonHeight);
  ok_.setEnabled(false);

  int fieldY = 10 + promptHeight + pad;
  int buttonY = fieldY + fieldHeight + pad;
  int okX = (w - (pad + 2 * buttonWidth)) / 2 + iconSize + 10 + pad;
  content_.addChildAt(&icon_, rfb::Point(10, 10));
  content_.addChildAt(&prompt_, rfb::Point(x, 10));
  content_.addChildAt(&address_, rfb::Point(x, fieldY));
  content_.addChildAt(&ok_, rfb::Point(okX, buttonY));
  content_.addChildAt(&cancel_, rfb::Point(okX + buttonWidth + pad, buttonY));
  content_.setSize(w + iconSize + 20 + pad, buttonY + buttonHeight + 10);
  content_.setInputHandler(this);
}

AddNewClientDialog::~AddNewClientDialog() = default;

bool AddNewClientDialog::onChange(wvw::Widget* source) {
  if (source == &address_)
    ok_.setEnabled(address_.getText()[0] != '\0');
  return false;
}

bool AddNewClientDialog::onKey(uint32_t keysym, bool down, wvw::Widget* source) {
  if (keysym == returnKey && down && source == &address_ && ok_.isEnabled()) {
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

void AddNewClientDialog::endDialog(bool result) {
  result_ = result;
  done_ = true;
  if (onFinished)
    onFinished(result);
}

} // namespace serverconfig
