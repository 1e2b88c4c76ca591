#include "wvw/WMenuItem.h"

#include "wvw/Font.h"
#include "wvw/Style.h"
#include "wvw/WMenu.h"

#include "plat/LogWriter.h"

#include <cctype>
#include <cstring>

static plat::LogWriter vlog("WMenuItem");

namespace wvw {

namespace {
const int columnWidth = 10;

// The length a UTF-8 lead byte announces (1 for anything else).
int sequenceLength(unsigned char b) {
  if ((b & 0xE0) == 0xC0)
    return 2;
  if ((b & 0xF0) == 0xE0)
    return 3;
  if ((b & 0xF8) == 0xF0)
    return 4;
  return 1;
}

bool printableAscii(uint32_t c) {
  return c < 127 && isprint(int(c));
}
} // namespace

WMenuItem::WMenuItem(WMenu* menu, const char* text, bool checkable)
    : menu_(nullptr), mnemonic_(0), mnemonicIndex_(-1), checkable_(checkable), blankShown_(false),
      hasText_(text != nullptr) {
  if (text) {
    label_.setMargin(2);
    setText(text);
    setContent(&label_);
    tick_.setSize(columnWidth, columnWidth);
    updateLayout();
  }
  if (menu)
    menu->insertItem(this, nullptr);
}

WMenuItem::~WMenuItem() {
  if (menu_)
    menu_->forgetItem(this);
}

std::string WMenuItem::parseMnemonic(const char* text, uint32_t* mnemonic, int* index) {
  std::string s = text ? text : "";
  *mnemonic = 0;
  size_t amp = s.find('&');
  if (amp != std::string::npos) {
    *index = int(amp);
    s.erase(amp, 1);
    if (amp < s.size()) {
      unsigned char b = static_cast<unsigned char>(s[amp]);
      int n = sequenceLength(b);
      if (b < 0x80) {
        *mnemonic = b;
      } else if (n == 1) {
        *mnemonic = 0xFFFFFFFF;
      } else {
        uint32_t value = b & (0x7F >> n);
        for (int k = 1; k < n; k++) {
          size_t at = amp + size_t(k);
          unsigned char c = at < s.size() ? static_cast<unsigned char>(s[at]) : 0;
          if ((c & 0xC0) != 0x80) {
            value = 0xFFFFFFFF;
            break;
          }
          value = (value << 6) | (c & 0x3F);
        }
        *mnemonic = value;
      }
    }
  }
  if (*mnemonic == 0)
    *index = -1;
  return s;
}

int WMenuItem::mnemonicEnd(const std::string& text, int index) {
  size_t i = size_t(index);
  int n = sequenceLength(static_cast<unsigned char>(text[i]));
  size_t end = i + 1;
  while (end < i + size_t(n) && end < text.size() &&
         (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
    end++;
  return int(end);
}

bool WMenuItem::mnemonicMatches(uint32_t keysym, uint32_t mnemonic) {
  if (keysym == 0)
    return false;
  if (keysym == mnemonic)
    return true;
  return printableAscii(keysym) && printableAscii(mnemonic) &&
         tolower(int(keysym)) == tolower(int(mnemonic));
}

void WMenuItem::setText(const char* text) {
  int w, h;
  label_.setText(parseMnemonic(text, &mnemonic_, &mnemonicIndex_).c_str());
  label_.getPreferredSize(&w, &h);
  label_.setSize(w, h);
  invalidate();
}

void WMenuItem::setText(const char* text, uint32_t key) {
  int w, h;
  label_.setText(text);
  label_.getPreferredSize(&w, &h);
  label_.setSize(w, h);
  setMnemonic(key);
  invalidate();
}

void WMenuItem::setMnemonic(uint32_t key) {
  mnemonic_ = key;
  if (printableAscii(key)) {
    const char* t = label_.getText();
    const char* at = t ? strchr(t, int(key)) : nullptr;
    if (at)
      mnemonicIndex_ = int(at - t);
  }
  invalidate();
}

void WMenuItem::setCheckable(bool checkable) {
  if (checkable == checkable_)
    return;
  checkable_ = checkable;
  updateLayout();
  if (!menu_)
    return;
  const std::vector<WMenuItem*>& items = menu_->getItems();
  size_t ticked = 0;
  for (WMenuItem* i : items)
    ticked += i->checkable_;
  if (ticked == items.size())
    return;
  for (WMenuItem* i : std::vector<WMenuItem*>(items))
    if (!i->checkable_)
      i->setBlankShown(true);
}

void WMenuItem::setBlankShown(bool blankShown) {
  if (blankShown == blankShown_)
    return;
  blankShown_ = blankShown;
  updateLayout();
}

void WMenuItem::updateLayout() {
  if (!hasText_)
    return;
  int lw, lh;
  label_.getPreferredSize(&lw, &lh);
  int h = lh + 2;
  bool blankIn = getContainerOf(&blank_), tickIn = getContainerOf(&tick_);
  if (blankShown_) {
    blank_.setSize(columnWidth, h);
    if (!blankIn)
      addChild(&blank_);
  } else if (blankIn) {
    removeChild(&blank_);
  }
  if (checkable_) {
    tick_.setSize(columnWidth, h);
    if (!tickIn)
      addChild(&tick_);
  } else if (tickIn) {
    removeChild(&tick_);
  }
  moveChild(&label_, rfb::Point(blankShown_ || checkable_ ? columnWidth : 0, 0));
  invalidate();
}

bool WMenuItem::getContainerOf(Widget* part) {
  return part->getContainer() == this;
}

void WMenuItem::getPreferredSize(int* width, int* height) {
  if (!hasText_) {
    *width = 2;
    *height = 5;
    return;
  }
  label_.getPreferredSize(width, height);
  if (checkable_)
    *width += columnWidth;
  if (blankShown_)
    *width += columnWidth;
  *height += 2;
}

bool WMenuItem::acceptsFocus() {
  return hasText_ && enabled_ && visible_;
}

bool WMenuItem::onSizeChange(Widget* source) {
  if (source == this && hasText_)
    label_.setSize(width_, height_);
  return WButton::onSizeChange(source);
}

void WMenuItem::applyStyle(Style* style) {
  setStyle(style);
  if (checkable_)
    tick_.setStyle(style);
  if (blankShown_) {
    blank_.setStyle(style);
    blank_.invalidate();
  }
}

bool WMenuItem::onFocusChange(bool reverse, Widget* source) {
  if (!hasText_)
    return false;
  if (source == this) {
    if (hasFocus() && menu_)
      applyStyle(menu_->getHighlightStyle());
    else if (!hasFocus())
      applyStyle(nullptr);
  }
  return WButton::onFocusChange(reverse, source);
}

bool WMenuItem::onPointerMove(const rfb::Point& pos, Widget* source) {
  if (!hasText_)
    return false;
  if (source == this) {
    AliveCheck alive(this);
    takeFocus();
    if (alive.gone())
      return true;
  }
  return WButton::onPointerMove(pos, source);
}

void WMenuItem::draw(rfb::WritablePixelBuffer* pb) {
  WButton::draw(pb);
  if (!hasText_) {
    drawBevel(pb, rfb::Rect(1, 3, width_ - 3, 5), true, false);
    return;
  }
  if (mnemonicIndex_ < 0)
    return;
  Style* s = getStyle();
  const char* t = label_.getText();
  std::string text = t ? t : "";
  if (size_t(mnemonicIndex_) >= text.size())
    return;
  Font* f = s->font;
  int w1 = f->textWidth(text.c_str(), text.c_str() + mnemonicIndex_);
  int w2 = f->textWidth(text.c_str(), text.c_str() + mnemonicEnd(text, mnemonicIndex_));
  int off = checkable_ || blankShown_ ? columnWidth : 0;
  int fh = int(f->height);
  const rfb::Colour& c = enabled_ ? s->textColour : s->disabledTextColour;
  pb->fillRect(rfb::Rect(off + 2 + w1, fh, off + 2 + w2, fh + 1), colourToPixel(c, pb));
}

} // namespace wvw
