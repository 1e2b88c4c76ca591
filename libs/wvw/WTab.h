// One tab of a row of tab sheets: a button showing a centred label (a
// member), drawn open at the bottom and raised when selected.
#pragma once

#include "wvw/WBevelButton.h"
#include "wvw/WLabel.h"

namespace wvw {

class WTab : public WBevelButton {
public:
  explicit WTab(const char* text);
  ~WTab() override;

  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  // The label's preferred size plus 6 x 10.
  void getPreferredSize(int* width, int* height) override;

  void setSelected(bool selected);
  bool isSelected() const { return selected_; }
  WLabel* getLabel() { return &label_; }

private:
  WLabel label_;
  bool selected_;
};

} // namespace wvw
