// A check box with a label beside it; a press on the label toggles the box
// as a click on it does. The box is a member.
#pragma once

#include "wvw/WCheckBox.h"
#include "wvw/WLabelWidget.h"

namespace wvw {

class WLabelCheckBox : public WLabelWidget {
public:
  WLabelCheckBox(const char* text, bool checked);
  ~WLabelCheckBox() override;

  // Only the first button on the label toggles: the wheel does not.
  bool onButtonPress(int button, Widget* source) override;

  WCheckBox* getCheckBox() { return &box_; }

private:
  WCheckBox box_;
};

} // namespace wvw
