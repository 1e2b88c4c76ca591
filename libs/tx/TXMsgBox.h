// The standard message box: a centred dialog with an optional icon, a text
// wrapped at 450 pixels and a row of buttons, all chosen by a flags word:
// bits 0-2 the buttons (0 "OK", 1 "OK" and "Cancel", 2 "Yes" and "No",
// others none), bits 4-6 the icon (0x10 error, 0x20 question, 0x30 warning,
// 0x40 information, others none), 0x100 the focus on the last button. A
// modal box returns true from show() exactly when its first button was
// pressed. The label, icon and buttons are owned. A failed file operation's
// system message is shown in the user's terms.
#pragma once

#include "tx/TXDialog.h"

#include "wvw/WImage.h"
#include "wvw/WInputHandler.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"

#include <cstdint>
#include <memory>
#include <vector>

class TXMsgBox : public TXDialog, public wvw::WInputHandler {
public:
  enum : unsigned {
    OK = 0,
    OKCancel = 1,
    YesNo = 2,
    ButtonMask = 0x7,
    IconError = 0x10,
    IconQuestion = 0x20,
    IconWarning = 0x30,
    IconInformation = 0x40,
    IconMask = 0x70,
    FocusLast = 0x100,
  };

  // The title is the program's title, followed by ": " and the caption when
  // one is given.
  TXMsgBox(Display* dpy, const char* text, unsigned flags, const char* caption = nullptr,
           bool modal = true, TXWindow* transientFor = nullptr);
  ~TXMsgBox() override;

  // The text and its alignment (0 left or top, 1 centre, 2 right or
  // bottom); lays the box out again. A failed file operation's system
  // message is shown in the user's terms (plat::userErrorText); the caller
  // logs the system's text.
  void setText(const char* text, int hAlign, int vAlign);

  bool onClick(wvw::Widget* source) override;
  bool onAttach(wvw::Widget* source) override;

  // The index of the button last pressed; -1 when none was.
  int pressedButton() const { return pressed_; }
  int numButtons() const { return int(buttons_.size()); }
  wvw::WLabelButton* button(int i) const { return buttons_[size_t(i)].get(); }
  wvw::WLabel* label() { return &label_; }
  wvw::WImage* icon() { return hasIcon_ ? &icon_ : nullptr; }

  // The side of the icons and the width at which the text wraps.
  static constexpr int iconSize = 36;
  static constexpr int wrapWidth = 450;

private:
  void layOut();

  int pressed_;
  wvw::WLabel label_;
  std::vector<std::unique_ptr<wvw::WLabelButton>> buttons_;
  unsigned flags_;
  wvw::WImage icon_;
  bool hasIcon_;
};
