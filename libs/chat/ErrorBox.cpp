#include "chat/ErrorBox.h"

namespace chat {

ErrorBox::ErrorBox(Display* dpy, TXDialog* owner, TXDialog::Callback* callback,
                   TXWindow* transientFor)
    : dpy_(dpy), owner_(owner), callback_(callback), transientFor_(transientFor) {
}

void ErrorBox::show(const char* text) {
  if (!box_) {
    box_ = std::make_unique<TXMsgBox>(dpy_, text, TXMsgBox::IconError | TXMsgBox::OK, nullptr,
                                      false, transientFor_);
    box_->setCallback(callback_);
  } else {
    box_->setText(text, 1, 1);
  }
  owner_->setInputDisabled(true);
  box_->show();
}

} // namespace chat
