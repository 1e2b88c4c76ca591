#include "serverconfig/OptionsDialog.h"

#include "serverconfig/BasicOptionsDlg.h"
#include "serverconfig/ConnectionsPage.h"
#include "serverconfig/InputsPage.h"
#include "serverconfig/PrintingPage.h"
#include "serverconfig/UnixAccessDialog.h"

#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"
#include "ui/AdvancedDialog.h"
#include "zav/status/ServerStatus.h"

#include <string>

static plat::LogWriter vlog("OptionsDialog");

namespace serverconfig {

plat::BoolParameter OptionsDialog::advancedParam("AdvancedOptions", "Show the advanced dialog",
                                                 false, true);

namespace {

std::string titleFor(OptionsDialog::Callback* callback) {
  const char* mode = zav::ServerStatus::modeName(callback ? callback->getMode() : 0);
  return std::string("Options (") + (mode ? mode : "") + ")";
}

} // namespace

OptionsDialog::OptionsDialog(Display* dpy, Callback* callback, plat::ParameterSet* params)
    : TXDialog(dpy, 400, 400, titleFor(callback).c_str(), false, true), callback_(callback),
      params_(params), reference_(new plat::ParameterSet(*params)) {
  usersDialog_ = std::make_unique<UnixAccessDialog>(dpy, this, params_);
  basic_ = std::make_unique<BasicOptionsDlg>(dpy, this, callback_, usersDialog_.get(), params_,
                                             reference_.get());
  basicList_.push_back({basic_.get(), "Basic", "Basic Options",
                        "Configure the most common Zav Server options. Click the Advanced button "
                        "for more options.",
                        this});
  connections_ = std::make_unique<ConnectionsPage>(dpy, this, callback_, usersDialog_.get(),
                                                   params_, reference_.get());
  inputs_ = std::make_unique<InputsPage>(dpy, this, params_, reference_.get());
  printing_ = std::make_unique<PrintingPage>(dpy, this, callback_, params_, reference_.get());
  expert_ = std::make_unique<ui::AdvancedDialog>(dpy, this, nullptr, params_, reference_.get());
  advancedList_.push_back({connections_.get(), "Connection", "Connection Options",
                           "Enable or disable Zav Server, or configure port numbers and security.",
                           this});
  advancedList_.push_back(
      {inputs_.get(), "Inputs", "Input Options",
       "Enable or disable file transfer, or mouse or keyboard input from Zav Viewers.", this});
  advancedList_.push_back(
      {printing_.get(), "Printing", "Printing Options", "Configure Remote Printing.", nullptr});
  advancedList_.push_back({expert_.get(), "Expert", "Advanced Options",
                           "This page provides advanced configuration options. It is "
                           "recommended for experienced users only.",
                           nullptr});

  properties_ = std::make_unique<ui::PropertiesDialog>(this, basicList_, advancedList_,
                                                       &advancedParam, true, true);
  properties_->setCallback(this);
  content_.addChildAt(properties_.get(), rfb::Point(0, 0));
  int w, h;
  properties_->getPreferredSize(&w, &h);
  properties_->setSize(w, h);
  setContentSize(w, h);
  setFixedSize(true);
}

OptionsDialog::~OptionsDialog() {
  if (isMapped())
    TXWParent::unmap();
  content_.removeChild(properties_.get());
  properties_.reset();
  expert_.reset();
  printing_.reset();
  inputs_.reset();
  connections_.reset();
  basic_.reset();
  usersDialog_.reset();
}

void OptionsDialog::restoreWorkingSet() {
  for (plat::ParameterSet* set = params_; set; set = set->getNext())
    set->copyAllValuesFrom(*reference_);
}

void OptionsDialog::showOptions() {
  if (callback_)
    callback_->reloadParams(reference_.get());
  restoreWorkingSet();
  show();
}

void OptionsDialog::apply() {
  if (callback_)
    callback_->applyOptions(params_, reference_.get());
}

void OptionsDialog::cancel() {
  restoreWorkingSet();
}

bool OptionsDialog::validate(const ui::PropertiesDialog::Page& page) {
  if (page.content == basic_.get())
    return basic_->validate();
  if (page.content == connections_.get())
    return connections_->validate();
  if (page.content == inputs_.get() && callback_ && callback_->getMode() == 3)
    return inputs_->confirmViewOnly();
  return true;
}

void OptionsDialog::deleteWindow(TXWindow* window) {
  restoreWorkingSet();
  basic_->closeSubDialogs();
  connections_->closeSubDialogs();
  TXDialog::deleteWindow(window);
}

} // namespace serverconfig
