// A pale yellow box with a short help text, shown by adding it to the
// topmost layout above its owner widget (for X-hosted widget trees the
// screen-sized root layout, which gives it a popup window of its own). The
// label and its style are owned; the owner widget and the link callback are
// not. An information window (popup flag set) becomes the root layout's
// popup child instead of an ordinary child.
#pragma once

#include "plat/MarkUp.h"
#include "wvw/Style.h"
#include "wvw/WLabelMarkedUp.h"
#include "wvw/WLayout.h"

#include <string>

namespace ui {

class Tooltip : public wvw::WLayout {
public:
  // The background of tooltips and information windows.
  static rfb::Colour colour;
  // The inner margin of the information window.
  static const int pad = 2;

  Tooltip(wvw::Widget* owner, int wrapWidth, plat::MarkUp::LinkCallback* linkCallback = nullptr);
  ~Tooltip() override;

  void draw(rfb::WritablePixelBuffer* pb) override;

  // The text with mark-up.
  void setText(const char* markedUp);
  // The text as it is: every "^" shows as a caret.
  void setPlainText(const char* text);
  void setWrapWidth(int width);
  // Shows the box at p (owner's coordinates); with an anchor, a box that
  // would leave the root at the right or bottom goes to the anchor's left
  // or above it instead, 2 pixels clear.
  void showAt(const rfb::Point& p, wvw::Widget* anchor);
  // Shows the box at the last pointer position, moved by (+2, +16).
  virtual void popUp();
  void hide();
  // Where popUp shows the box, in the owner's coordinates.
  void setLastPointer(const rfb::Point& p) { lastPointer_ = p; }

  bool isShown() const { return shownIn_ != nullptr; }
  const std::string& getText() const { return text_; }
  wvw::WLabelMarkedUp* label() { return &label_; }

protected:
  // Sizes the box to its text.
  virtual void layOut();

  bool popup_;
  int wrapWidth_;
  wvw::Widget* owner_;
  wvw::WLabelMarkedUp label_;
  wvw::Style style_;
  std::string text_;
  rfb::Point lastPointer_;
  wvw::WLayout* shownIn_;
};

} // namespace ui
