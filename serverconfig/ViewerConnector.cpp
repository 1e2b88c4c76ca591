#include "serverconfig/ViewerConnector.h"

#include "plat/Exception.h"

namespace serverconfig {

ViewerConnector::ViewerConnector(Display* dpy, TXWParent* owner, StatusDialog::Callback* status)
    : dpy_(dpy), owner_(owner), status_(status) {
}

ViewerConnector::~ViewerConnector() {
  if (box_)
    box_->setCallback(nullptr);
  if (dialog_)
    dialog_->setCallback(nullptr);
}

void ViewerConnector::openAddClientDialog() {
  if (!dialog_) {
    dialog_.reset(new AddNewClientDialog(dpy_));
    dialog_->setCallback(this);
  }
  owner_->setInputDisabled(true);
  dialog_->show();
}

void ViewerConnector::dialogFinished(TXDialog* dialog, bool result) {
  owner_->setInputDisabled(false);
  if (dialog != dialog_.get() || !result)
    return;
  try {
    status_->connectToViewer(dialog_->addressField()->getText());
  } catch (plat::Exception& e) {
    showError(e.str());
  }
}

void ViewerConnector::showError(const char* text) {
  if (!box_) {
    box_.reset(
        new TXMsgBox(dpy_, text, TXMsgBox::IconError | TXMsgBox::OK, nullptr, false, owner_));
    box_->setCallback(this);
  } else {
    box_->setText(text, 1, 1);
  }
  owner_->setInputDisabled(true);
  box_->show();
}

} // namespace serverconfig
