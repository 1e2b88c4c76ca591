// The error box of a chat dialog: a message box with the error icon and a
// single "OK" button, made on first use and shown again for every error.
// While it is up the dialog's input is off; the dialog, as the box's
// callback, switches it on again when the box reports its end. Owned by the
// dialog, which it does not own.
#pragma once

#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"

#include <memory>

namespace chat {

class ErrorBox {
public:
  // transientFor, the window the box stands over, may be null.
  ErrorBox(Display* dpy, TXDialog* owner, TXDialog::Callback* callback, TXWindow* transientFor);

  void show(const char* text);
  // Null until the first error.
  TXMsgBox* box() const { return box_.get(); }

private:
  Display* dpy_;
  TXDialog* owner_;
  TXDialog::Callback* callback_;
  TXWindow* transientFor_;
  std::unique_ptr<TXMsgBox> box_;
};

} // namespace chat
