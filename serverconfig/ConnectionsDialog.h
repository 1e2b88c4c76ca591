// "Active connections": the resizable window that lists the viewers
// connected to the server with the selected one's user and access level
// below it and a "Disconnect" button. It owns the connections model, built
// over the owner's callback (not owned), and its widgets. The owner refreshes
// it on every status change of the server, shown or not, and reads the
// model's record count as the server's connection count.
#pragma once

#include "serverconfig/ConnectionsList.h"

#include "plat/Timer.h"
#include "tx/TXDialog.h"
#include "wvw/WInputHandler.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WListBox.h"

namespace serverconfig {

class ConnectionsDialog : public TXDialog,
                          public wvw::WInputHandler,
                          public wvw::WListBox::ItemGetter {
public:
  static const char* const title;

  // Builds the window, unmapped; shown with TXDialog::show.
  ConnectionsDialog(Display* dpy, ConnectionsList::Callback* callback);
  ~ConnectionsDialog() override;

  // Before each opening: the first size, the first connection selected.
  void initDialog() override;
  // Re-reads the connections and keeps the selection on a record that is
  // still there (the last one when the list got shorter).
  void refresh();

  const char* getItemText(wvw::WListBox* list, int index) override;
  int getItemCount(wvw::WListBox* list) override;
  bool onChange(wvw::Widget* source) override;
  bool onClick(wvw::Widget* source) override;
  bool onSizeChange(wvw::Widget* source) override;
  // The layout timer re-lays the window out; the rest are the window's.
  bool timerCallback(plat::Timer* timer) override;

  ConnectionsList& connections() { return connections_; }
  int getSelected() const { return selected; }
  wvw::WListBox* listBox() { return &list_; }
  wvw::WLabel* userLabel() { return &user_; }
  wvw::WLabel* accessLabel() { return &access_; }
  wvw::WLabelButton* disconnectButton() { return &disconnect_; }
  // Places the widgets for the content's current size.
  void relayout();

private:
  void updateDetails();

  ConnectionsList connections_;
  wvw::WListBox list_;
  wvw::WLabel user_;
  wvw::WLabel access_;
  wvw::WLabelButton disconnect_;
  int selected = 0;
  plat::Timer layoutTimer;
};

} // namespace serverconfig
