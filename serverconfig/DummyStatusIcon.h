// The status window's own "Commands" menu button, used as its icon callback
// while no tray icon is shown: the tray menu's commands (with "Options..."
// instead of "Status...", the button being in the status window itself). The
// button, its menu and the items are members; the window is not owned. The
// lead places the button in the window's button row.
#pragma once

#include "serverconfig/StatusDialog.h"
#include "serverconfig/StatusIcon.h"
#include "wvw/WInputHandler.h"
#include "wvw/WMenuButton.h"
#include "wvw/WMenuItem.h"

namespace serverconfig {

class DummyStatusIcon : public StatusDialog::IconCallback, public wvw::WInputHandler {
public:
  // owner: the status window's root layout, over which the menu pops up.
  DummyStatusIcon(StatusIcon::Window& window, wvw::WLayout* owner);
  ~DummyStatusIcon() override;

  wvw::WMenuButton* getButton() { return &button_; }

  void setTooltip(const char*) override {}
  void enableGuestLogin(bool enable) override { guestLogin_.setEnabled(enable); }
  void tickGuestLogin(bool tick) override { guestLogin_.getTick()->setChecked(tick); }
  void setIcon(unsigned) override {}
  void checkVisibility() override { window_.iconify(); }
  void enableFileTransfer(bool enable) override { fileTransfer_.setEnabled(enable); }
  void enableChat(bool enable) override { chat_.setEnabled(enable); }

  bool onClick(wvw::Widget* source) override;

  wvw::WMenuItem* getItem(int index);

private:
  wvw::WMenuButton button_;
  wvw::WMenuItem options_, connect_, disconnect_, guestLogin_, chat_, fileTransfer_;
  StatusIcon::Window& window_;
};

} // namespace serverconfig
