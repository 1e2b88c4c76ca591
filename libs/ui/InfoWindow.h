// A larger tooltip with a bold title above its text, opened as the root
// layout's popup child to the left of and above the pointer (the status
// window's link texts). The title label and its style are owned.
#pragma once

#include "ui/Tooltip.h"

#include "wvw/WLabel.h"

namespace ui {

class InfoWindow : public Tooltip {
public:
  InfoWindow(wvw::Widget* owner, plat::MarkUp::LinkCallback* linkCallback, int wrapWidth);
  ~InfoWindow() override;

  void setTitle(const char* title);
  // Opens at the last pointer position moved by (16 - wrap width, -16).
  void popUp() override;

  wvw::WLabel* title() { return &title_; }

protected:
  void layOut() override;

private:
  wvw::WLabel title_;
  wvw::Style titleStyle_;
};

} // namespace ui
