// A bevel button showing an arrow (a member) of the given direction.
#pragma once

#include "wvw/WArrow.h"
#include "wvw/WBevelButton.h"

namespace wvw {

class WArrowButton : public WBevelButton {
public:
  explicit WArrowButton(int direction);
  ~WArrowButton() override;

  WArrow* getArrow() { return &arrow_; }

private:
  WArrow arrow_;
};

} // namespace wvw
