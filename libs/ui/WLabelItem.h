// One cell of a list: a button showing a text on white, shortened with "..."
// when it does not fit. It owns its two labels (the full and the shortened
// text) and the style they share.
#pragma once

#include "wvw/Style.h"
#include "wvw/WButton.h"
#include "wvw/WLabel.h"

#include <string>

namespace ui {

class WLabelItem : public wvw::WButton {
public:
  WLabelItem(const char* text, bool selectable);
  ~WLabelItem() override;

  bool onSizeChange(wvw::Widget* source) override;
  bool acceptsFocus() override;
  // Gives both labels the style (not owned; it must outlive the cell).
  virtual void setLabelStyle(wvw::Style* style);

  // A new text, or null to keep the text and only shorten it again.
  void setText(const char* text);
  const char* getText() const { return text_.c_str(); }
  bool isShortened() const { return shortLabel_.isVisible(); }
  const char* getShownText() {
    return isShortened() ? shortLabel_.getText() : fullLabel_.getText();
  }
  wvw::WLabel* getFullLabel() { return &fullLabel_; }
  wvw::WLabel* getShortLabel() { return &shortLabel_; }
  // Whether the widget is this cell or one of its labels.
  bool isPart(wvw::Widget* w) const { return w == this || w == &fullLabel_ || w == &shortLabel_; }

private:
  std::string text_;
  wvw::WLabel fullLabel_;
  wvw::WLabel shortLabel_;
  wvw::Style style_;
  bool selectable_;
};

} // namespace ui
