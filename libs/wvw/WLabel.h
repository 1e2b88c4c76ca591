// A text shown in the style's font: broken into lines at newlines and, with
// word wrap, at spaces and tabs to fit the width less the margins. The label
// owns a copy of its text and of the broken lines.
#pragma once

#include "wvw/Widget.h"

#include <string>
#include <vector>

namespace wvw {

class WLabel : public Widget {
public:
  // hAlign: 0 left, 1 centred, 2 right. The text may be null.
  explicit WLabel(const char* text = nullptr, int hAlign = 0);
  ~WLabel() override;

  bool onEnabledChange(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  // The widest line plus the margins by the lines' height (no margin).
  void getPreferredSize(int* width, int* height) override;
  bool acceptsFocus() override { return false; }
  // A new font breaks the lines anew.
  void styleChanged() override;

  // Copies the text; the same text again changes nothing.
  virtual void setText(const char* text);
  // The label's own copy; null when it has none.
  virtual const char* getText();
  // hAlign: 0 left, 1 centred, 2 right; vAlign: 0 top, 1 centred, 2 bottom.
  virtual void setAlignment(int hAlign, int vAlign);
  virtual void setMargin(int margin);
  virtual void setWordWrap(bool wordWrap);
  // Breaks the text into lines for the current width and font.
  virtual void breakLines();
  // A transparent label paints no background.
  void setTransparent(bool transparent);

  const std::vector<std::string>& getLines() const { return lines_; }
  int getMargin() const { return margin_; }

protected:
  // Where a block of text of the given height starts, and a line of the
  // given width.
  int alignedTop(int blockHeight) const;
  int alignedLeft(int lineWidth) const;
  rfb::Colour textColour();

  bool hasText_;
  std::string text_;
  std::vector<std::string> lines_;
  int hAlign_;
  int vAlign_;
  int margin_;
  bool wordWrap_;
  bool transparent_;
};

} // namespace wvw
