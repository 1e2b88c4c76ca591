#include "serverconfig/PasswordDialog.h"

#include "serverconfig/ExtPasswordDialog.h"
#include "serverconfig/PasswordDialogModel.h"

#include "rfb/KeysymNames.h"

#include "plat/ConfigParameter.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <algorithm>

namespace serverconfig {

static plat::LogWriter vlog("PasswordDialog");

namespace {
const int fieldWidth = 200;
const int buttonWidth = 60;
const int buttonHeight = 25;
const int extendedWidth = 160;
const int tooltipWidth = 320;
namespace keys = rfb::keys;
} // namespace

PasswordDialog::PasswordDialog(Display* dpy, TXWindow* owner, const char* title,
                               plat::ConfigParameter* fileParameter, plat::ParameterSet* params)
    : TXDialog(dpy, 1, 1, title, false, true, owner), ui::TooltipHandler(&content_),
      fileParameter_(fileParameter), params_(params), passwordLabel_("New Password:", 2),
      confirmLabel_("Confirm Password:", 2), password_(PasswordDialogModel::maxLength),
      confirm_(PasswordDialogModel::maxLength), ok_("Ok"), cancel_("Cancel"),
      extended_("Extended Configuration...") {
  question_ = std::make_unique<TXMsgBox>(dpy, "", TXMsgBox::IconQuestion | TXMsgBox::YesNo, nullptr,
                                         false, this);
  warning_ = std::make_unique<TXMsgBox>(dpy, "", TXMsgBox::IconWarning | TXMsgBox::OK, nullptr,
                                        false, this);
  error_ =
      std::make_unique<TXMsgBox>(dpy, "", TXMsgBox::IconError | TXMsgBox::OK, nullptr, false, this);
  for (TXMsgBox* box : {question_.get(), warning_.get(), error_.get()})
    box->setCallback(this);

  password_.setPasswordMode(true);
  confirm_.setPasswordMode(true);

  int w1, h1, w2, h2, unused, h;
  passwordLabel_.getPreferredSize(&w1, &h1);
  confirmLabel_.getPreferredSize(&w2, &h2);
  password_.getPreferredSize(&unused, &h);
  int labelWidth = std::max(w1, w2);
  passwordLabel_.setSize(labelWidth, h1);
  confirmLabel_.setSize(labelWidth, h2);
  password_.setSize(fieldWidth, h);
  confirm_.setSize(fieldWidth, h);

  int y = yPad;
  content_.addChildAt(&passwordLabel_, rfb::Point(xPad, y + (h - h1) / 2));
  content_.addChildAt(&password_, rfb::Point(labelWidth + 2 * xPad, y));
  y += std::max(h1, h) + yPad;
  content_.addChildAt(&confirmLabel_, rfb::Point(xPad, y + (h - h2) / 2));
  content_.addChildAt(&confirm_, rfb::Point(labelWidth + 2 * xPad, y));
  y += std::max(h2, h) + yPad;

  int width = 3 * xPad + labelWidth + fieldWidth;
  if (params_) {
    // Never narrower than its text, which would wrap otherwise.
    int ew, eh;
    extended_.getPreferredSize(&ew, &eh);
    content_.addChildSized(
        &extended_, rfb::Rect::at(rfb::Point(xPad, y), std::max(extendedWidth, ew), buttonHeight));
  }
  content_.addChildSized(&ok_, rfb::Rect::at(rfb::Point(width - 2 * buttonWidth - 2 * xPad, y),
                                             buttonWidth, buttonHeight));
  content_.addChildSized(&cancel_, rfb::Rect::at(rfb::Point(width - buttonWidth - xPad, y),
                                                 buttonWidth, buttonHeight));
  ok_.setEnabled(false);

  setTooltip(&password_, "Enter the password for access to Zav Server.", tooltipWidth);
  setTooltip(&confirm_, "Re-enter the password for access to Zav Server to confirm.", tooltipWidth);
  if (params_)
    setTooltip(&extended_, "Configure additional users and passwords.", tooltipWidth);

  content_.setInputHandler(this);
  setClientSize(width, y + buttonHeight + yPad, true);
}

PasswordDialog::~PasswordDialog() {
  hideTooltip();
  content_.setInputHandler(nullptr);
  question_.reset();
  warning_.reset();
  error_.reset();
  extendedDialog_.reset();
}

void PasswordDialog::updateOk() {
  ok_.setEnabled(PasswordDialogModel::okEnabled(password_.getText(), confirm_.getText()));
}

void PasswordDialog::showBox(TXMsgBox* box, const char* text) {
  box->setText(text, 1, 1);
  box->show();
  setInputDisabled(true);
}

bool PasswordDialog::writePasswordFile() {
  try {
    PasswordDialogModel::store(*fileParameter_, password_.getText());
    return true;
  } catch (const plat::Exception& e) {
    showBox(error_.get(), e.str());
    return false;
  }
}

void PasswordDialog::storeAndEnd() {
  // A password that could not be stored ends the dialog with false, so that
  // nobody takes it for set; the error box stays up until it is dismissed.
  endDialog(writePasswordFile());
}

bool PasswordDialog::onChange(wvw::Widget* source) {
  if (source == &password_ || source == &confirm_)
    updateOk();
  return false;
}

bool PasswordDialog::onAttach(wvw::Widget* source) {
  if (source == &content_)
    updateOk();
  else if (source == &confirm_ && password_.getText()[0] != '\0')
    confirm_.takeFocus();
  return false;
}

bool PasswordDialog::onKey(uint32_t keysym, bool down, wvw::Widget* source) {
  if (keysym == keys::Return && !down) {
    if (source == &password_)
      confirm_.takeFocus();
    else if (source == &confirm_)
      ok_.takeFocus();
  }
  return false;
}

bool PasswordDialog::onClick(wvw::Widget* source) {
  result_ = false;
  if (source == &ok_) {
    switch (PasswordDialogModel::check(password_.getText(), confirm_.getText())) {
    case PasswordDialogModel::Outcome::Mismatch:
      showBox(warning_.get(), PasswordDialogModel::mismatchText);
      break;
    case PasswordDialogModel::Outcome::AskShort:
      showBox(question_.get(), PasswordDialogModel::shortPasswordQuestion);
      break;
    case PasswordDialogModel::Outcome::Store:
      // May delete this dialog through its callback.
      storeAndEnd();
      break;
    }
  } else if (source == &cancel_) {
    endDialog(false);
  } else if (params_ && source == &extended_) {
    hideTooltip();
    if (!extendedDialog_) {
      extendedDialog_ = std::make_unique<ExtPasswordDialog>(dpy_, this, params_);
      extendedDialog_->setCallback(this);
    }
    extendedDialog_->show();
    setInputDisabled(true);
  }
  return true;
}

void PasswordDialog::dialogFinished(TXDialog* dialog, bool result) {
  if (!(extendedDialog_ && extendedDialog_->isPasswordDialogShown()))
    setInputDisabled(false);
  if (dialog == question_.get() && result)
    storeAndEnd();
  else if (extendedDialog_ && dialog == extendedDialog_.get())
    endDialog(result);
}

void PasswordDialog::deleteWindow(TXWindow*) {
  if (extendedDialog_) {
    // Its close ends this dialog too, through dialogFinished.
    extendedDialog_->deleteWindow(extendedDialog_.get());
    extendedDialog_.reset();
  }
  for (TXMsgBox* box : {error_.get(), warning_.get()})
    if (box->isMapped())
      box->deleteWindow(box);
  TXDialog::deleteWindow(this);
}

} // namespace serverconfig
