// The status window's "connect to a listening viewer" action: builds the
// connect-to-viewer dialog on first use and shows it again for every use;
// when it ends with OK the typed address goes unchanged to the status
// callback's connect-to-viewer operation, and a refusal is shown in an error
// message box. While the dialog or the box is open the owner window takes no
// input. The dialog and the box are owned; the owner window and the status
// callback are not.
#pragma once

#include "serverconfig/AddNewClientDialog.h"
#include "serverconfig/StatusDialog.h"

#include "tx/TXMsgBox.h"

#include <memory>

namespace serverconfig {

class ViewerConnector : public TXDialog::Callback {
public:
  ViewerConnector(Display* dpy, TXWParent* owner, StatusDialog::Callback* status);
  ~ViewerConnector() override;

  // Shows the connect-to-viewer dialog (the last address still in it).
  void openAddClientDialog();
  void dialogFinished(TXDialog* dialog, bool result) override;

  // Null until first opened.
  AddNewClientDialog* dialog() { return dialog_.get(); }
  // Null until a connection was refused.
  TXMsgBox* messageBox() { return box_.get(); }

private:
  void showError(const char* text);

  Display* dpy_;
  TXWParent* owner_;
  StatusDialog::Callback* status_;
  std::unique_ptr<AddNewClientDialog> dialog_;
  std::unique_ptr<TXMsgBox> box_;
};

} // namespace serverconfig
