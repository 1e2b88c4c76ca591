#include "ui/LogoHeader.h"

#include "wvw/FontProp.h"

#include <algorithm>

namespace ui {

LogoHeader::LogoHeader(plat::MarkUp::LinkCallback* linkCallback)
    : description_(linkCallback, nullptr, 0), titleStyle_(*getDefaultStyle()),
      style_(*getDefaultStyle()) {
  titleStyle_.font = &wvw::FontProp::helvB15_u;
  titleStyle_.textColour = Black;
  titleStyle_.background = White;
  style_.textColour = Black;
  style_.background = White;
  setStyle(&style_);
  title_.setStyle(&titleStyle_);
  title_.setMargin(0);
  description_.setMargin(0);
  description_.setAlignment(0, 0);
  description_.setWordWrap(true);
  addChild(&title_);
  addChild(&description_);
  addChild(&logo_);
}

LogoHeader::~LogoHeader() {
  removeChild(&logo_);
  removeChild(&description_);
  removeChild(&title_);
}

void LogoHeader::setTitle(const char* title) {
  title_.setText(title);
  layOut();
}

void LogoHeader::setText(const char* markedUp) {
  description_.setText(markedUp);
  layOut();
}

bool LogoHeader::onSizeChange(wvw::Widget* source) {
  if (source == this)
    layOut();
  return WCanvas::onSizeChange(source);
}

void LogoHeader::layOut() {
  int w = width(), h = height();
  int a = w - HalbrinLogo::logoWidth - edge;
  const char* title = title_.getText();
  if (!title || !*title) {
    title_.setSize(0, 0);
    setChildRect(&description_, rfb::Rect(0, 0, a, h));
  } else {
    int tw = 0, th = 0;
    title_.getPreferredSize(&tw, &th);
    setChildRect(&title_, rfb::Rect::at(rfb::Point(2, edge), a - 2, th));
    setChildRect(&description_,
                 rfb::Rect::at(rfb::Point(6, edge + th), descriptionWidth(w), h - th - edge));
  }
  moveChild(&logo_, rfb::Point(a, (h - HalbrinLogo::logoHeight) / 2));
}

void LogoHeader::draw(rfb::WritablePixelBuffer* pb) {
  int w = width(), h = height();
  pb->fillRect(rfb::Rect(0, 0, w, h), wvw::colourToPixel(White, pb));
  WLayout::draw(pb);
  if (h >= 4) {
    pb->fillRect(rfb::Rect(0, h - 4, w, h - 2), wvw::colourToPixel(BevelHigh, pb));
    pb->fillRect(rfb::Rect(0, h - 2, w, h - 1), wvw::colourToPixel(BevelLow, pb));
  }
}

void LogoHeader::getPreferredSize(int* width, int* height) {
  int right = 0, bottom = 0;
  for (int i = 0; i < numChildren(); i++) {
    rfb::Rect r = getChildRect(childAt(i));
    right = std::max(right, r.br.x);
    bottom = std::max(bottom, r.br.y);
  }
  *width = right + edge;
  *height = bottom + 4;
}

} // namespace ui
