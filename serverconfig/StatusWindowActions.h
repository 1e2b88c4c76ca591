// What the tray icon and the status window's own "Commands" menu do to the
// status window: each request of the icon becomes the matching operation of
// the StatusDialog (not owned), which owns this object.
#pragma once

#include "serverconfig/StatusIcon.h"

namespace serverconfig {

class StatusDialog;

class StatusWindowActions : public StatusIcon::Window {
public:
  explicit StatusWindowActions(StatusDialog& dialog) : dialog_(dialog) {}

  void setIconCallback(StatusDialog::IconCallback* icon) override;
  void setTrayIconEmbedded(bool embedded) override;
  void iconify() override;
  void showStatus() override;
  void hideStatus() override;
  void showFileTransfer() override;
  void openAddClientDialog() override;
  void disconnectAll() override;
  void setGuestLogin() override;
  void showChat() override;
  void showOptions() override;

private:
  StatusDialog& dialog_;
};

} // namespace serverconfig
