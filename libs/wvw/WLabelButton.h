// A bevel button showing a text: its content is a member label, centred both
// ways with no margin.
#pragma once

#include "wvw/WBevelButton.h"
#include "wvw/WLabel.h"

namespace wvw {

class WLabelButton : public WBevelButton {
public:
  explicit WLabelButton(const char* text);
  ~WLabelButton() override;

  WLabel* getLabel() { return &label_; }

private:
  WLabel label_;
};

} // namespace wvw
