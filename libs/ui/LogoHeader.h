// The white banner at the top of the server status window: a bold title, a
// marked-up description with links below it, the product logo at the right
// and a bevelled line along the bottom edge. Labels, logo and styles are
// owned members; the link callback is not owned.
#pragma once

#include "ui/HalbrinLogo.h"

#include "wvw/Style.h"
#include "wvw/WCanvas.h"
#include "wvw/WLabel.h"
#include "wvw/WLabelMarkedUp.h"

namespace ui {

class LogoHeader : public wvw::WCanvas {
public:
  // Space between the bold title and the top edge, and between the logo and
  // the right edge, so that neither touches the header's border.
  static constexpr int edge = 3;
  // The width of a titled header's description in a header w wide: from its
  // indent to the logo.
  static int descriptionWidth(int w) { return w - HalbrinLogo::logoWidth - edge - 6; }

  explicit LogoHeader(plat::MarkUp::LinkCallback* linkCallback);
  ~LogoHeader() override;

  void setTitle(const char* title);
  void setText(const char* markedUp);

  void draw(rfb::WritablePixelBuffer* pb) override;
  // The children's bounding box plus 4 pixels of height.
  void getPreferredSize(int* width, int* height) override;
  bool onSizeChange(wvw::Widget* source) override;

  wvw::WLabel* title() { return &title_; }
  wvw::WLabelMarkedUp* description() { return &description_; }
  HalbrinLogo* logo() { return &logo_; }

private:
  void layOut();

  wvw::WLabel title_;
  wvw::WLabelMarkedUp description_;
  wvw::Style titleStyle_;
  wvw::Style style_;
  HalbrinLogo logo_;
};

} // namespace ui
