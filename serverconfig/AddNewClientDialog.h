// "Connect to Listening Zav Viewer": the small fixed-size window in which the
// desktop user types the address of a computer where a viewer listens. The
// owner, as the dialog's TXDialog::Callback, reads the address with
// addressField()->getText() after the dialog ended with OK and asks the
// server to connect out to it. The dialog owns its widgets; the callback is
// the owner's.
#pragma once

#include "serverconfig/ConnectionIcon.h"

#include "tx/TXDialog.h"
#include "wvw/WInputHandler.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WText.h"

namespace serverconfig {

class AddNewClientDialog : public TXDialog, public wvw::WInputHandler {
public:
  static const char* const title;
  // The server's connect request takes at most 255 bytes of address.
  static const int maxAddressLength = 255;

  // Builds the window, centred and unmapped; shown with TXDialog::show.
  explicit AddNewClientDialog(Display* dpy);
  ~AddNewClientDialog() override;

  // OK follows the address field: enabled exactly when it is not empty.
  bool onChange(wvw::Widget* source) override;
  // Return in the field with OK enabled ends the dialog like OK.
  bool onKey(uint32_t keysym, bool down, wvw::Widget* source) override;
  // OK ends the dialog with result true, Cancel with false.
  bool onClick(wvw::Widget* source) override;

  // The field keeps its text between openings.
  wvw::WText* addressField() { return &address_; }
  wvw::WLabel* prompt() { return &prompt_; }
  wvw::WImage* icon() { return &icon_; }
  wvw::WLabelButton* okButton() { return &ok_; }
  wvw::WLabelButton* cancelButton() { return &cancel_; }

private:
  ConnectionIcon icon_;
  wvw::WLabel prompt_;
  wvw::WText address_;
  wvw::WLabelButton ok_;
  wvw::WLabelButton cancel_;
};

} // namespace serverconfig
