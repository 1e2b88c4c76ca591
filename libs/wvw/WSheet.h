// One sheet of a set of tab sheets: a bordered layout holding the sheet's
// content (not owned), its top edge left open under the sheet's tab.
#pragma once

#include "wvw/WLayout.h"

namespace wvw {

class WSheet : public WLayout {
public:
  explicit WSheet(Widget* content);
  ~WSheet() override;

  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  // The content's preferred size plus the border on every side.
  void getPreferredSize(int* width, int* height) override;

  // Where the sheet's tab lies in the tab row, and the row's scroll offset.
  void setTabRect(const rfb::Rect& r) { tabRect_ = r; }
  void setTabOffset(int offset) { tabOffset_ = offset; }
  const rfb::Rect& getTabRect() const { return tabRect_; }
  Widget* getContent() const { return content_; }
  int getBorder() const { return border_; }

private:
  Widget* content_;
  rfb::Rect tabRect_;
  int tabOffset_;
  int border_;
};

} // namespace wvw
