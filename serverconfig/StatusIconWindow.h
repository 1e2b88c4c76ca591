// What the tray icon's messages and the fallback "Commands" menu do to the
// status window: each operation of StatusIcon::Window becomes the status
// window's own. Made and owned by the status window, which it does not own.
#pragma once

#include "serverconfig/StatusDialog.h"
#include "serverconfig/StatusIcon.h"

namespace serverconfig {

class StatusIconWindow : public StatusIcon::Window {
public:
  explicit StatusIconWindow(StatusDialog& dialog) : dialog_(dialog) {}

  void setIconCallback(StatusDialog::IconCallback* icon) override { dialog_.setIconCallback(icon); }
  void setTrayIconEmbedded(bool embedded) override { dialog_.setTrayIconEmbedded(embedded); }
  void iconify() override { dialog_.putAway(); }
  void showStatus() override { dialog_.showStatus(); }
  void hideStatus() override { dialog_.unmap(); }
  void showFileTransfer() override { dialog_.showFileTransfer(); }
  void openAddClientDialog() override { dialog_.openAddClientDialog(); }
  void disconnectAll() override { dialog_.disconnectAll(); }
  void setGuestLogin() override { dialog_.setGuestLogin(); }
  void showChat() override { dialog_.showChat(); }
  void showOptions() override { dialog_.showOptions(); }

private:
  StatusDialog& dialog_;
};

} // namespace serverconfig
