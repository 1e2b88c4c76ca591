// The non-modal About box: an optional icon, the program's version banner
// (held by the start-up object) and an "OK" button, which ends it with
// result true. Label, icon and button are owned members.
#pragma once

#include "tx/TXDialog.h"

#include "wvw/WImage.h"
#include "wvw/WInputHandler.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelButton.h"

namespace ui {

class AboutDialog : public TXDialog, public wvw::WInputHandler {
public:
  // iconName (may be null) names an icon of the registry, shown at
  // iconSize pixels.
  AboutDialog(Display* dpy, const char* title, TXWindow* transientFor, const char* iconName,
              int iconSize);
  ~AboutDialog() override;

  bool onAttach(wvw::Widget* source) override;
  bool onClick(wvw::Widget* source) override;

  wvw::WLabel* label() { return &label_; }
  wvw::WLabelButton* okButton() { return &ok_; }
  wvw::WImage* icon() { return hasIcon_ ? &icon_ : nullptr; }

private:
  void layOut();

  wvw::WLabel label_;
  wvw::WImage icon_;
  wvw::WLabelButton ok_;
  bool hasIcon_;
};

} // namespace ui
