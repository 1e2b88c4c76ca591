// A label whose text carries mark-up: bold, underlined and linked runs in the
// proportional fonts. The link under the pointer is highlighted, and a link
// clicked with the first pointer button is reported to the link callback
// (not owned). Malformed mark-up is logged and the text shown without its
// codes.
#pragma once

#include "wvw/WLabel.h"

#include "plat/MarkUp.h"

#include <string>
#include <vector>

namespace wvw {

class Font;

class WLabelMarkedUp : public WLabel, public plat::MarkUp::Layout::Callback {
public:
  // A laid-out piece of text; the rectangle is in the label's coordinates.
  struct Run {
    Font* font;
    bool underline;
    std::string text;
    int link;
    rfb::Rect rect;
  };

  WLabelMarkedUp(plat::MarkUp::LinkCallback* linkCallback, const char* text, int hAlign = 0);
  ~WLabelMarkedUp() override;

  bool onPointerMove(const rfb::Point& pos, Widget* source) override;
  bool onButtonPress(int button, Widget* source) override;
  bool onButtonRelease(int button, Widget* source) override;
  bool onPointerLeave(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;
  void setEnabled(bool enabled) override;
  void breakLines() override;

  using Widget::setStyle;

  // plat::MarkUp::Layout::Callback
  void setStyle(int style, int link) override;
  int fontHeight() override;
  int textWidth(const char* begin, const char* end) override;
  void addText(const char* begin, const char* end, int left, int top, int right,
               int bottom) override;

  void setLinkCallback(plat::MarkUp::LinkCallback* cb) { linkCallback_ = cb; }
  const std::vector<Run>& getRuns() const { return runs_; }
  int getHoverLink() const { return hoverLink_; }
  // The link at a point (0: none); the number as the mark-up gave it.
  int linkAt(const rfb::Point& p) const;

private:
  // Lays the text out; throws plat::Exception on malformed mark-up.
  void layOut(const char* text);
  void setHover(int link);

  plat::MarkUp::LinkCallback* linkCallback_;
  std::vector<Run> runs_;
  int layoutWidth_;
  int layoutHeight_;
  Font* curFont_;
  bool curUnderline_;
  int curLink_;
  int hoverLink_;
  bool linkPressed_;
  int pressedLink_; // the link the press went down on
};

} // namespace wvw
