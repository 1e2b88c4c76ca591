// A look inside the server status window for tests: its status model, the
// dialogs, boxes and window menu it owns, its icon callback and its widgets,
// which the window keeps to itself. Holds the window, not owned.
#pragma once

#include "serverconfig/StatusDialog.h"

namespace serverconfig {

class StatusDialogProbe {
public:
  explicit StatusDialogProbe(StatusDialog& dialog) : d_(dialog) {}

  zav::ServerStatus& model() { return d_.model_; }
  ConnectionsList& connections() { return d_.connections(); }
  ConnectionsDialog* connectionsDialog() { return d_.connectionsDialog_.get(); }
  // Null until setOptions succeeded.
  OptionsDialog* optionsDialog() { return d_.options_.get(); }
  // Null without a file-transfer stream.
  ft::FileTransferDialog* fileTransferDialog() { return d_.ftDialog_.get(); }
  // Null until enableLinks.
  ServerStatusHLCallback* links() { return d_.hlCallback_.get(); }
  const char* summaryText() { return d_.summaryLabel_.getText(); }
  const char* detailsText() { return d_.detailsLabel_.getText(); }
  wvw::WLabelMarkedUp* summaryLabel() { return &d_.summaryLabel_; }
  wvw::WPanel* detailsPanel() { return &d_.details_; }
  StatusDialog::IconCallback* iconCallback() const { return d_.iconCallback_; }
  ui::LogoHeader* header() { return &d_.header_; }
  DummyStatusIcon* windowMenu() { return d_.windowMenu_.get(); }
  bool trayAvailable() const { return d_.trayAvailable_; }
  ui::AboutDialog* aboutDialog() { return &d_.about_; }
  TXMsgBox* errorBox() { return &d_.errorBox_; }
  TXMsgBox* guestLoginBox() { return &d_.guestLoginBox_; }
  wvw::WLabelButton* aboutButton() { return &d_.aboutButton_; }
  wvw::WLabelButton* optionsButton() { return &d_.optionsButton_; }
  wvw::WLabelButton* closeButton() { return &d_.close_; }

private:
  StatusDialog& d_;
};

inline StatusDialogProbe probe(StatusDialog& dialog) {
  return StatusDialogProbe(dialog);
}

} // namespace serverconfig
