#include "serverconfig/ExtPasswordDialog.h"

#include "serverconfig/ExtPasswordModel.h"
#include "serverconfig/PasswordDialog.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"
#include "ui/PlaceCheckBox.h"

#include <X11/Xutil.h>

#include <algorithm>

namespace serverconfig {

static plat::LogWriter vlog("ExtPasswordDialog");

namespace {
const int minSetWidth = 120;
const int buttonWidth = 80;
const int buttonHeight = 25;
const int tooltipWidth = 320;
const char* const admin = "Admin";
const char* const viewOnly = "ViewOnly";
} // namespace

ExtPasswordDialog::ExtPasswordDialog(Display* dpy, TXDialog* owner, plat::ParameterSet* params)
    : TXDialog(dpy, 1, 1, "Zav Extended Authentication", false, true, owner), ui::TooltipHandler(
                                                                                  &content_),
      owner_(owner), params_(params), pending_(false), admin_("Enable \"Admin\" user", false),
      viewOnly_("Enable \"ViewOnly\" user", false), adminSet_("Set Password..."),
      viewOnlySet_("Set Password..."), ok_("Ok"), cancel_("Cancel") {
  question_ = std::make_unique<TXMsgBox>(dpy, "", TXMsgBox::IconQuestion | TXMsgBox::YesNo, nullptr,
                                         false, this);
  error_ =
      std::make_unique<TXMsgBox>(dpy, "", TXMsgBox::IconError | TXMsgBox::OK, nullptr, false, this);
  question_->setCallback(this);
  error_->setCallback(this);

  int w, h;
  admin_.setProportions(0, 0);
  admin_.getPreferredSize(&w, &h);
  int offset = (buttonHeight - h) / 2;
  int y = yPad;
  ui::placeCheckBox(&content_, &admin_, xPad, y + offset, false);
  ui::placeCheckBox(&content_, &viewOnly_, xPad, y + buttonHeight + yPad + offset, false);

  // The buttons are never narrower than their text, which would wrap.
  int setWidth = 0, unused;
  adminSet_.getPreferredSize(&setWidth, &unused);
  setWidth = std::max(setWidth, minSetWidth);
  int x = viewOnly_.width() + 2 * xPad;
  content_.addChildSized(&adminSet_, rfb::Rect::at(rfb::Point(x, y), setWidth, buttonHeight));
  y += buttonHeight + yPad;
  content_.addChildSized(&viewOnlySet_, rfb::Rect::at(rfb::Point(x, y), setWidth, buttonHeight));
  y += buttonHeight + yPad;

  int width = 3 * xPad + viewOnly_.width() + setWidth;
  content_.addChildSized(&ok_, rfb::Rect::at(rfb::Point(width - 2 * buttonWidth - 2 * xPad, y),
                                             buttonWidth, buttonHeight));
  content_.addChildSized(&cancel_, rfb::Rect::at(rfb::Point(width - buttonWidth - xPad, y),
                                                 buttonWidth, buttonHeight));
  y += buttonHeight + yPad;

  const char* adminTip = "Enable the \"Admin\" user. This user has full access to Zav Server, "
                         "including permission to bypass the query connect prompt, if enabled.";
  const char* viewOnlyTip = "Enable the \"ViewOnly\" user. This user has permission to view, but "
                            "not interact with the desktop.";
  // The pointer may rest on the box itself or on its label.
  for (wvw::Widget* w :
       std::initializer_list<wvw::Widget*>{&admin_, admin_.getCheckBox(), admin_.getLabel()})
    setTooltip(w, adminTip, tooltipWidth);
  for (wvw::Widget* w : std::initializer_list<wvw::Widget*>{&viewOnly_, viewOnly_.getCheckBox(),
                                                            viewOnly_.getLabel()})
    setTooltip(w, viewOnlyTip, tooltipWidth);

  content_.setInputHandler(this);
  setClientSize(width, y, true);

  admin_.getCheckBox()->setChecked(hasPassword(ExtPasswordModel::parameterName(admin).c_str()));
  viewOnly_.getCheckBox()->setChecked(
      hasPassword(ExtPasswordModel::parameterName(viewOnly).c_str()));
  updateButtons();
}

ExtPasswordDialog::~ExtPasswordDialog() {
  hideTooltip();
  content_.setInputHandler(nullptr);
  error_.reset();
  question_.reset();
  passwordDialog_.reset();
  retired_.clear();
}

void ExtPasswordDialog::showBox(TXMsgBox* box, const char* text) {
  box->setText(text, 1, 1);
  box->show();
  setInputDisabled(true);
}

bool ExtPasswordDialog::hasPassword(const char* parameterName) {
  try {
    return ExtPasswordModel::hasPassword(*params_, parameterName);
  } catch (const plat::Exception& e) {
    showBox(error_.get(), e.str());
    return false;
  }
}

void ExtPasswordDialog::updateButtons() {
  adminSet_.setEnabled(admin_.getCheckBox()->isChecked());
  viewOnlySet_.setEnabled(viewOnly_.getCheckBox()->isChecked());
}

bool ExtPasswordDialog::isPasswordDialogShown() const {
  return passwordDialog_ && passwordDialog_->isMapped();
}

void ExtPasswordDialog::setUserEnabled(const char* kind, bool enabled) {
  std::string name = ExtPasswordModel::parameterName(kind);
  if (enabled == hasPassword(name.c_str()))
    return;
  if (enabled) {
    hideTooltip();
    openPasswordDialog(ExtPasswordModel::passwordTitle(kind).c_str(), name.c_str());
  } else {
    removeParameter_ = name;
    showBox(question_.get(), ExtPasswordModel::removalQuestion(kind).c_str());
  }
}

void ExtPasswordDialog::openPasswordDialog(const char* title, const char* parameterName) {
  if (passwordDialog_) {
    passwordDialog_->unmap();
    // This may run while the old dialog tells of its end: it is released
    // later, at the next click here.
    retired_.push_back(std::move(passwordDialog_));
  }
  plat::ConfigParameter* parameter;
  try {
    parameter = params_->get(parameterName);
  } catch (const plat::Exception& e) {
    showBox(error_.get(), e.str());
    return;
  }
  passwordDialog_ = std::make_unique<PasswordDialog>(dpy_, this, title, parameter, nullptr);
  passwordDialog_->setCallback(this);
  if (done_) {
    // This dialog is gone from the screen: the new one belongs to the owner.
    XSetTransientForHint(dpy_, passwordDialog_->win(), owner_->win());
    owner_->setInputDisabled(true);
  }
  passwordDialog_->show();
  setInputDisabled(true);
}

void ExtPasswordDialog::runPendingStep() {
  if (!pending_)
    return;
  pending_ = false;
  setUserEnabled(viewOnly, viewOnly_.getCheckBox()->isChecked());
}

bool ExtPasswordDialog::onClick(wvw::Widget* source) {
  retired_.clear();
  if (source == admin_.getCheckBox() || source == viewOnly_.getCheckBox()) {
    done_ = false;
    result_ = false;
    updateButtons();
  } else if (source == &ok_) {
    done_ = true;
    result_ = true;
    setUserEnabled(admin, admin_.getCheckBox()->isChecked());
    if (isPasswordDialogShown() || question_->isMapped())
      pending_ = true;
    else
      setUserEnabled(viewOnly, viewOnly_.getCheckBox()->isChecked());
  } else if (source == &cancel_) {
    done_ = true;
    result_ = false;
  } else if (source == &adminSet_) {
    hideTooltip();
    openPasswordDialog(ExtPasswordModel::passwordTitle(admin).c_str(),
                       ExtPasswordModel::parameterName(admin).c_str());
  } else if (source == &viewOnlySet_) {
    hideTooltip();
    openPasswordDialog(ExtPasswordModel::passwordTitle(viewOnly).c_str(),
                       ExtPasswordModel::parameterName(viewOnly).c_str());
  } else {
    return true;
  }
  // Tells the owner, which ends too; nothing here may be touched after.
  if (done_)
    endDialog(result_);
  return true;
}

void ExtPasswordDialog::dialogFinished(TXDialog* dialog, bool result) {
  setInputDisabled(false);
  if (dialog == question_.get()) {
    if (result) {
      try {
        ExtPasswordModel::removePassword(*params_, removeParameter_.c_str());
      } catch (const plat::Exception& e) {
        showBox(error_.get(), e.str());
      }
    }
    // "No" keeps the file, but the "ViewOnly" step that waited for the
    // answer is still due.
    runPendingStep();
  } else if (passwordDialog_ && dialog == passwordDialog_.get()) {
    runPendingStep();
    if (passwordDialog_ && !passwordDialog_->isMapped() && !isMapped())
      owner_->setInputDisabled(false);
  }
}

void ExtPasswordDialog::deleteWindow(TXWindow*) {
  pending_ = false;
  if (passwordDialog_) {
    passwordDialog_->deleteWindow(passwordDialog_.get());
    passwordDialog_.reset();
  }
  for (TXMsgBox* box : {error_.get(), question_.get()})
    if (box->isMapped())
      box->deleteWindow(box);
  TXDialog::deleteWindow(this);
}

} // namespace serverconfig
