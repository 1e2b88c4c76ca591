// "Connect to Listening Zav Viewer": the small window in which the desktop
// user types the address of a computer where a viewer listens; the owner
// reads the address after the dialog ended with OK and asks the server to
// connect out to it. The dialog owns its widgets and the canvas that holds
// them; the finished function is the owner's.
#pragma once

#include "wvw/WCanvas.h"
#include "wvw/WImage.h"
#include "wvw/WInputHandler.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"
#include "wvw/WText.h"

#include <functional>

namespace serverconfig {

class AddNewClientDialog : public wvw::WInputHandler {
public:
  static const char* const title;
  // The server's connect request takes at most 255 bytes of address.
  static const int maxAddressLength = 255;

  AddNewClientDialog();
  ~AddNewClientDialog() override;

  // OK follows the address field: enabled exactly when it is not empty.
  bool onChange(wvw::Widget* source) override;
  // Return in the field with OK enabled ends the dialog like OK.
  bool onKey(uint32_t keysym, bool down, wvw::Widget* source) override;
  // OK ends the dialog with result true, Cancel with false.
  bool onClick(wvw::Widget* source) override;

  // The window's content, sized to hold the widgets.
  wvw::WCanvas* content() { return &content_; }
  wvw::WText* addressField() { return &address_; }
  wvw::WLabelButton* okButton() { return &ok_; }
  wvw::WLabelButton* cancelButton() { return &cancel_; }
  bool isDone() const { return done_; }
  bool getResult() const { return result_; }
  // Opening again clears the done flag; the field keeps its text.
  void reopen() { done_ = false; }

  // Told when the dialog ends, with its result.
  std::function<void(bool)> onFinished;

private:
  void endDialog(bool result);

  wvw::WCanvas content_;
  wvw::WImage icon_;
  wvw::WLabel prompt_;
  wvw::WText address_;
  wvw::WLabelButton ok_;
  wvw::WLabelButton cancel_;
  bool done_ = false;
  bool result_ = false;
};

} // namespace serverconfig
