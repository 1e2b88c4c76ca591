// A titled group box: an etched border with the title label (a member) set
// into its top edge, around a content layout (a member) where the caller
// adds the panel's widgets.
#pragma once

#include "wvw/WLabel.h"
#include "wvw/WLayout.h"

namespace wvw {

class WPanel : public WLayout {
public:
  explicit WPanel(const char* title);
  ~WPanel() override;

  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;
  // The title first, then the panel.
  void setEnabled(bool enabled) override;

  WLayout* getContent() { return &content_; }
  WLabel* getTitle() { return &title_; }

private:
  WLayout content_;
  WLabel title_;
  int border_;
  int titleHalf_;
};

} // namespace wvw
