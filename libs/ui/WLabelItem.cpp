#include "ui/WLabelItem.h"

#include "wvw/Font.h"

namespace ui {

WLabelItem::WLabelItem(const char* text, bool selectable)
    : text_(text ? text : ""), fullLabel_(text, 0), shortLabel_(nullptr, 0), style_(*getStyle()),
      selectable_(selectable) {
  style_.background = White;
  fullLabel_.setWordWrap(false);
  shortLabel_.setWordWrap(false);
  fullLabel_.setStyle(&style_);
  shortLabel_.setStyle(&style_);
  addChild(&fullLabel_);
  addChild(&shortLabel_);
  int w, h;
  fullLabel_.getPreferredSize(&w, &h);
  fullLabel_.setSize(w, h);
  shortLabel_.setVisible(false);
}

WLabelItem::~WLabelItem() {
  removeChild(&shortLabel_);
  removeChild(&fullLabel_);
}

void WLabelItem::setLabelStyle(wvw::Style* style) {
  fullLabel_.setStyle(style);
  shortLabel_.setStyle(style);
}

void WLabelItem::setText(const char* text) {
  if (text) {
    text_ = text;
    fullLabel_.setText(text);
  }
  wvw::Font* font = getStyle()->font;
  if (fullLabel_.getStyle())
    font = fullLabel_.getStyle()->font;
  int limit = width_ - 8;
  if (font->textWidth(text_.c_str()) <= limit) {
    fullLabel_.setVisible(true);
    shortLabel_.setVisible(false);
    return;
  }
  int sum = font->textWidth("...");
  size_t n = 0;
  // Whole characters: a UTF-8 sequence is measured and kept as one.
  while (n < text_.size() && sum < limit) {
    size_t next = n + 1;
    while (next < text_.size() && (static_cast<unsigned char>(text_[next]) & 0xC0) == 0x80)
      next++;
    sum += font->textWidth(text_.c_str() + n, text_.c_str() + next);
    n = next;
  }
  shortLabel_.setText((text_.substr(0, n) + "...").c_str());
  shortLabel_.setVisible(true);
  fullLabel_.setVisible(false);
}

bool WLabelItem::onSizeChange(wvw::Widget* source) {
  if (source == this) {
    fullLabel_.setSize(width_, height_);
    shortLabel_.setSize(width_, height_);
    setText(nullptr);
  }
  return WButton::onSizeChange(source);
}

bool WLabelItem::acceptsFocus() {
  return selectable_ && enabled_ && visible_;
}

} // namespace ui
