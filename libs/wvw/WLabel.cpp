#include "wvw/WLabel.h"

#include "wvw/Font.h"
#include "wvw/Style.h"

#include "plat/LogWriter.h"

#include <algorithm>
#include <cstring>

static plat::LogWriter vlog("WLabel");

namespace wvw {

WLabel::WLabel(const char* text, int hAlign)
    : hasText_(false), hAlign_(hAlign), vAlign_(1), margin_(4), wordWrap_(true),
      transparent_(false) {
  setText(text);
}

WLabel::~WLabel() = default;

void WLabel::setText(const char* text) {
  if (!text && !hasText_)
    return;
  if (text && hasText_ && text_ == text)
    return;
  hasText_ = text != nullptr;
  text_ = text ? text : "";
  breakLines();
  invalidate();
}

const char* WLabel::getText() {
  return hasText_ ? text_.c_str() : nullptr;
}

void WLabel::setAlignment(int hAlign, int vAlign) {
  hAlign_ = hAlign;
  vAlign_ = vAlign;
  // Labels that place their text when they break it place it anew.
  breakLines();
  invalidate();
}

void WLabel::setMargin(int margin) {
  margin_ = margin;
  breakLines();
  invalidate();
}

void WLabel::setWordWrap(bool wordWrap) {
  wordWrap_ = wordWrap;
  breakLines();
  invalidate();
}

void WLabel::setTransparent(bool transparent) {
  transparent_ = transparent;
  invalidate();
}

void WLabel::styleChanged() {
  breakLines();
  invalidate();
}

bool WLabel::onSizeChange(Widget* source) {
  if (source == this)
    breakLines();
  return Widget::onSizeChange(source);
}

bool WLabel::onEnabledChange(Widget* source) {
  if (source == this)
    invalidate();
  return Widget::onEnabledChange(source);
}

// A paragraph is broken at the last space or tab before the line grows too
// wide; the blanks at the break are dropped, and a word wider than the line
// stays whole.
void WLabel::breakLines() {
  lines_.clear();
  if (!hasText_)
    return;
  if (!wordWrap_) {
    lines_.push_back(text_);
    return;
  }
  Font* font = getStyle()->font;
  int available = width_ - 2 * margin_;
  const char* text = text_.c_str();
  const char* textEnd = text + text_.size();
  for (const char* para = text;;) {
    const char* paraEnd = static_cast<const char*>(memchr(para, '\n', size_t(textEnd - para)));
    if (!paraEnd)
      paraEnd = textEnd;
    const char* lineStart = para;
    const char* breakAt = nullptr;
    int lineWidth = 0;
    for (const char* p = para; p < paraEnd;) {
      const char* c = p;
      uint32_t cp = Font::decode(p, paraEnd);
      if (cp == ' ' || cp == '\t')
        breakAt = c;
      lineWidth += font->glyphWidth(cp);
      if (lineWidth > available && available > 0 && breakAt && breakAt > lineStart) {
        lines_.emplace_back(lineStart, breakAt);
        p = breakAt;
        while (p < paraEnd && (*p == ' ' || *p == '\t'))
          p++;
        lineStart = p;
        breakAt = nullptr;
        lineWidth = 0;
      }
    }
    lines_.emplace_back(lineStart, paraEnd);
    if (paraEnd == textEnd)
      break;
    para = paraEnd + 1;
  }
}

void WLabel::getPreferredSize(int* width, int* height) {
  Font* font = getStyle()->font;
  int widest = 0;
  for (const std::string& line : lines_)
    widest = std::max(widest, font->textWidth(line.c_str(), line.c_str() + line.size()));
  *width = widest + 2 * margin_;
  *height = int(lines_.size()) * int(font->height);
}

int WLabel::alignedTop(int blockHeight) const {
  switch (vAlign_) {
  case 0:
    return margin_;
  case 2:
    return height_ - blockHeight - margin_;
  default:
    return (height_ - blockHeight) / 2;
  }
}

int WLabel::alignedLeft(int lineWidth) const {
  switch (hAlign_) {
  case 1:
    return (width_ - lineWidth) / 2;
  case 2:
    return width_ - lineWidth - margin_;
  default:
    return margin_;
  }
}

rfb::Colour WLabel::textColour() {
  Style* s = getStyle();
  return enabled_ ? s->textColour : s->disabledTextColour;
}

void WLabel::draw(rfb::WritablePixelBuffer* pb) {
  Style* s = getStyle();
  if (!transparent_)
    pb->fillRect(rfb::Rect(0, 0, width_, height_), colourToPixel(s->background, pb));
  uint32_t pixel = colourToPixel(textColour(), pb);
  int w, h;
  getPreferredSize(&w, &h);
  int y = alignedTop(h);
  for (const std::string& line : lines_) {
    const char* b = line.c_str();
    const char* e = b + line.size();
    s->font->drawText(pb, b, rfb::Point(alignedLeft(s->font->textWidth(b, e)), y), pixel, e);
    y += int(s->font->height);
  }
}

} // namespace wvw
