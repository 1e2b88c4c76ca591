#include "wvw/WText.h"

#include "wvw/Font.h"
#include "wvw/Style.h"

#include "rfb/FullFramePixelBuffer.h"
#include "rfb/KeysymNames.h"
#include "rfb/Keysyms.h"

#include "plat/LogWriter.h"
#include "plat/Utf8.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

static plat::LogWriter vlog("WText");

namespace wvw {

namespace {
namespace keys = rfb::keys;

int leadingOnes(unsigned char b) {
  int n = 0;
  while (n < 8 && (b & (0x80 >> n)))
    n++;
  return n;
}

// The longest prefix of text of at most max bytes that ends on a character
// boundary.
size_t cutAtBoundary(const std::string& text, size_t max) {
  if (text.size() <= max)
    return text.size();
  size_t cut = max;
  // Step back over the continuation bytes of a character that the cut
  // would split, to its lead byte.
  size_t back = 0;
  while (cut > 0 && back < 3 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
    cut--;
    back++;
  }
  int n = leadingOnes(static_cast<unsigned char>(text[cut]));
  if (n >= 2 && n <= 4 && back > 0 && size_t(n) > back)
    return cut; // the character started at cut and did not fit
  return max;
}
} // namespace

WText::WText(uint32_t maxLength, const char* initialText)
    : maxLength_(maxLength), caret_(0), selection_(0), scrollOffset_(0), passwordMode_(false),
      editable_(true), allowedChars_(nullptr), hAlign_(0), vAlign_(1), dragging_(false) {
  text_.reserve(size_t(std::min<uint32_t>(maxLength, 4096)) + 1);
  if (initialText)
    setText(initialText);
}

WText::~WText() = default;

void WText::setText(const char* text) {
  std::string t = text ? text : "";
  t.resize(cutAtBoundary(t, maxLength_));
  text_ = t;
  caret_ = length();
  selection_ = 0;
  invalidate();
  onChange(this);
}

const char* WText::getText() {
  return text_.c_str();
}

void WText::setMaxLength(uint32_t maxLength) {
  maxLength_ = maxLength;
  if (text_.size() > maxLength) {
    int a = anchor();
    text_.resize(cutAtBoundary(text_, maxLength));
    caret_ = std::min(caret_, length());
    selection_ = std::min(a, length()) - caret_;
    invalidate();
  }
}

void WText::setPasswordMode(bool passwordMode) {
  passwordMode_ = passwordMode;
  invalidate();
}

bool WText::isPasswordMode() {
  return passwordMode_;
}

void WText::setEditable(bool editable) {
  editable_ = editable;
}

bool WText::isEditable() {
  return editable_;
}

void WText::setAllowedChars(const char* chars) {
  allowedChars_ = chars;
}

void WText::setAlignment(int horizontal, int vertical) {
  hAlign_ = horizontal;
  vAlign_ = vertical;
  invalidate();
}

void WText::setSelection(int from, int to) {
  int len = length();
  if (to < 0 || to > len)
    to = len;
  from = std::clamp(from, 0, len);
  caret_ = to;
  selection_ = from - to;
  invalidate();
}

void WText::clearSelection() {
  selection_ = 0;
  invalidate();
}

void WText::getSelection(int* caret, int* anchorOut) const {
  *caret = caret_;
  *anchorOut = anchor();
}

bool WText::acceptsFocus() {
  return editable_ && enabled_ && visible_;
}

// Characters

int WText::nextChar(int pos) const {
  int len = length();
  if (pos >= len)
    return len;
  int n = leadingOnes(static_cast<unsigned char>(text_[size_t(pos)]));
  int p = pos + 1;
  if (n >= 2 && n <= 4)
    while (p < len && p < pos + n && (static_cast<unsigned char>(text_[size_t(p)]) & 0xC0) == 0x80)
      p++;
  return p;
}

// A lead byte up to three bytes back whose character ends at pos starts
// the character; otherwise the byte before pos is a character by itself.
int WText::prevChar(int pos) const {
  if (pos <= 0)
    return 0;
  for (int k = 4; k >= 2; k--) {
    int q = pos - k;
    if (q < 0)
      continue;
    int n = leadingOnes(static_cast<unsigned char>(text_[size_t(q)]));
    if (n >= 2 && n <= 4 && nextChar(q) == pos)
      return q;
  }
  return pos - 1;
}

bool WText::isWordChar(int pos) const {
  if (pos >= length())
    return false;
  const char* p = text_.c_str() + pos;
  const char* end = text_.c_str() + nextChar(pos);
  uint32_t c = Font::decode(p, end);
  if (c == 0xFFFFFFFF || p != end)
    return false;
  return c > 127 || isalnum(int(c));
}

// Caret primitives

void WText::setCaret(int pos, bool extend) {
  pos = std::clamp(pos, 0, length());
  if (extend) {
    selection_ += caret_ - pos;
  } else if (selection_) {
    selection_ = 0;
    invalidate();
  }
  if (pos == caret_)
    return;
  caret_ = pos;
  invalidate();
}

bool WText::moveLeft(bool extend) {
  if (caret_ <= 0)
    return false;
  setCaret(prevChar(caret_), extend);
  return true;
}

bool WText::moveRight(bool extend) {
  if (caret_ >= length())
    return false;
  setCaret(nextChar(caret_), extend);
  return true;
}

void WText::wordRight(bool extend) {
  while (!isWordChar(caret_))
    if (!moveRight(extend))
      return;
  while (isWordChar(caret_))
    if (!moveRight(extend))
      return;
}

void WText::wordLeft(bool extend) {
  do {
    if (!moveLeft(extend))
      return;
  } while (!isWordChar(caret_));
  for (;;) {
    if (!moveLeft(extend))
      return;
    if (!isWordChar(caret_)) {
      moveRight(extend);
      return;
    }
  }
}

void WText::deleteSelection() {
  if (!selection_)
    return;
  int from = std::min(caret_, anchor()), to = std::max(caret_, anchor());
  text_.erase(size_t(from), size_t(to - from));
  caret_ = from;
  selection_ = 0;
  invalidate();
  onChange(this);
}

int WText::encodedSize(uint32_t cp) {
  if (cp <= 0x7F)
    return 1;
  if (cp <= 0x7FF)
    return 2;
  if (cp >= 0xD800 && cp <= 0xDFFF)
    return 0; // a surrogate is no character of its own
  if (cp <= 0xFFFF)
    return 3;
  if (cp <= 0x10FFFE)
    return 4;
  return 0;
}

bool WText::accepts(uint32_t cp, int size) const {
  if (!size)
    return false;
  if (allowedChars_ && (cp > 127 || !cp || !strchr(allowedChars_, int(cp))))
    return false;
  uint64_t selected = uint64_t(std::abs(selection_));
  return uint64_t(text_.size()) - selected + uint64_t(size) <= maxLength_;
}

void WText::insertChar(uint32_t cp) {
  int size = encodedSize(cp);
  if (!size || uint64_t(text_.size()) + uint64_t(size) > maxLength_)
    return;
  if (allowedChars_ && (cp > 127 || !strchr(allowedChars_, int(cp))))
    return;
  char buf[4];
  char* cursor = buf;
  plat::utf8EncodeChar(cp, &cursor);
  text_.insert(size_t(caret_), buf, size_t(cursor - buf));
  caret_ += int(cursor - buf);
  selection_ = 0;
  invalidate();
  onChange(this);
}

void WText::deleteCharAt(int pos) {
  if (pos < 0 || pos >= length())
    return;
  text_.erase(size_t(pos), size_t(nextChar(pos) - pos));
  invalidate();
  onChange(this);
}

void WText::deleteForward() {
  if (caret_ < length())
    deleteCharAt(caret_);
}

void WText::backspace() {
  if (moveLeft(false))
    deleteForward();
}

// Keys

bool WText::onKey(uint32_t keysym, bool down, Widget* source) {
  if (source != this)
    return Widget::onKey(keysym, down, source);
  AliveCheck alive(this);
  if (Widget::onKey(keysym, down, source) || alive.gone())
    return true;
  std::vector<uint32_t> composed;
  if (deadKeys_.processKey(keysym, down, &composed)) {
    for (uint32_t k : composed) {
      processKey(k);
      if (alive.gone())
        return true;
    }
  } else if (down) {
    processKey(keysym);
  }
  return true;
}

void WText::processKey(uint32_t keysym) {
  bool shift = isShiftDown(), ctrl = isControlDown(), alt = isAltDown();
  switch (keysym) {
  case keys::Left:
  case keys::Right:
    if (selection_ && !shift)
      clearSelection();
    if (keysym == keys::Left) {
      if (ctrl)
        wordLeft(shift);
      else
        moveLeft(shift);
    } else {
      if (ctrl)
        wordRight(shift);
      else
        moveRight(shift);
    }
    return;
  case keys::Home:
    setCaret(0, shift);
    return;
  case keys::End:
    setCaret(length(), shift);
    return;
  case keys::BackSpace:
    if (selection_)
      deleteSelection();
    else
      backspace();
    return;
  case keys::Delete:
    if (selection_)
      deleteSelection();
    else
      deleteForward();
    return;
  }
  if (ctrl || alt)
    return;
  uint32_t cp = rfb::keysymToUnicode(keysym);
  if (cp < 0x20)
    return;
  // A character that cannot go in leaves the selection as it was.
  if (!accepts(cp, encodedSize(cp)))
    return;
  AliveCheck alive(this);
  deleteSelection();
  if (!alive.gone())
    insertChar(cp);
}

// Pointer

bool WText::onButtonPress(int button, Widget* source) {
  if (source == this) {
    dragging_ = true;
    setCaret(hit(lastPointer_.x), isShiftDown());
  }
  return Widget::onButtonPress(button, source);
}

bool WText::onPointerMove(const rfb::Point& pos, Widget* source) {
  if (source == this && dragging_)
    setCaret(hit(pos.x), true);
  return Widget::onPointerMove(pos, source);
}

bool WText::onButtonRelease(int button, Widget* source) {
  if (source == this)
    dragging_ = false;
  return Widget::onButtonRelease(button, source);
}

bool WText::onPointerLeave(Widget* source) {
  if (source == this)
    dragging_ = false;
  return Widget::onPointerLeave(source);
}

// The text starts where it is drawn, so a click in a centred or
// right-aligned field lands where the user sees the text.
int WText::hit(int x) {
  x -= place().x;
  if (x <= 0)
    return 0;
  for (int pos = 0; pos < length();) {
    int next = nextChar(pos);
    int w = widthOf(pos, next);
    if (x < w)
      return x > w / 2 ? next : pos;
    x -= w;
    pos = next;
  }
  return length();
}

// Focus, enabled state, clipboard

bool WText::onFocusChange(bool reverse, Widget* source) {
  if (source == this) {
    if (isKeyDown(keys::Tab))
      setSelection(0, -1);
    invalidate();
  }
  return Widget::onFocusChange(reverse, source);
}

bool WText::onEnabledChange(Widget* source) {
  if (source == this)
    invalidate();
  return Widget::onEnabledChange(source);
}

// The clipboard is shared with the server and its viewers, so a password
// never goes there; and no text of the field or the clipboard is logged.
bool WText::onCopy(Widget* source) {
  AliveCheck alive(this);
  if (Widget::onCopy(source) || alive.gone())
    return true;
  if (source != this || !parent_)
    return false;
  if (passwordMode_) {
    vlog.debug("copy refused in a password field");
    return false;
  }
  vlog.debug("copy %d bytes", length());
  parent_->setClipboardText(text_.c_str());
  return true;
}

bool WText::onPaste(Widget* source) {
  AliveCheck alive(this);
  if (Widget::onPaste(source) || alive.gone())
    return true;
  if (source != this || !parent_)
    return false;
  const char* clip = parent_->getClipboardText();
  if (!clip)
    return true;
  vlog.debug("paste %zu bytes", strlen(clip));
  std::string inserted;
  for (const char* p = clip; *p; p++) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c > 0x7E)
      continue;
    if (allowedChars_ && !strchr(allowedChars_, c))
      continue;
    if (uint64_t(text_.size()) + inserted.size() + 1 > maxLength_)
      break;
    inserted += char(c);
  }
  selection_ = 0;
  if (inserted.empty()) {
    invalidate();
    return true;
  }
  text_.insert(size_t(caret_), inserted);
  caret_ += int(inserted.size());
  invalidate();
  onChange(this);
  return true;
}

// Drawing

int WText::widthOf(int from, int to) {
  Font* font = getStyle()->font;
  if (!passwordMode_)
    return font->textWidth(text_.c_str() + from, text_.c_str() + to);
  int n = 0;
  for (int p = from; p < to; p = nextChar(p))
    n++;
  return n * font->glyphWidth('*');
}

void WText::drawPart(rfb::WritablePixelBuffer* pb, int from, int to, int x, int y, uint32_t pixel) {
  Font* font = getStyle()->font;
  if (!passwordMode_) {
    font->drawText(pb, text_.c_str() + from, rfb::Point(x, y), pixel, text_.c_str() + to);
    return;
  }
  int star = font->glyphWidth('*');
  for (int p = from; p < to; p = nextChar(p), x += star)
    font->drawGlyph(pb, '*', rfb::Point(x, y), pixel);
}

WText::Placement WText::place() {
  Font* font = getStyle()->font;
  Placement pl;
  pl.area = rfb::Rect(6, 4, width_ - 6, height_ - 4);
  int left = pl.area.tl.x, right = pl.area.br.x, top = pl.area.tl.y, bottom = pl.area.br.y;
  int textWidth = widthOf(0, length());
  int areaWidth = right - left;
  if (textWidth <= areaWidth) {
    scrollOffset_ = 0;
    pl.x = hAlign_ == 1 ? (left + right - textWidth) / 2 : hAlign_ == 2 ? right - textWidth : left;
  } else {
    if (scrollOffset_ + textWidth + 2 < areaWidth)
      scrollOffset_ = areaWidth - textWidth - 2;
    int beforeCaret = widthOf(0, caret_);
    if (scrollOffset_ + beforeCaret + 2 > areaWidth)
      scrollOffset_ = areaWidth - beforeCaret - 2;
    else if (scrollOffset_ + beforeCaret < 0)
      scrollOffset_ = -beforeCaret;
    pl.x = left + scrollOffset_;
  }
  int h = int(font->height);
  pl.y = vAlign_ == 1 ? (top + bottom - h) / 2 : vAlign_ == 0 ? bottom - h : top;
  return pl;
}

void WText::draw(rfb::WritablePixelBuffer* pb) {
  Style* s = getStyle();
  rfb::Rect all(0, 0, width_, height_);
  drawBevel(pb, all, true, false);
  pb->fillRect(growRect(all, -2),
               colourToPixel(enabled_ ? s->fieldBackground : s->disabledFieldBackground, pb));
  Placement pl = place();
  if (pl.area.isEmpty())
    return;
  // Drawing in the text area's own coordinates clips to it.
  rfb::FullFramePixelBuffer area(*pb, pl.area);
  int x = pl.x - pl.area.tl.x, y = pl.y - pl.area.tl.y;
  uint32_t text = colourToPixel(enabled_ ? s->textColour : s->disabledTextColour, pb);
  int len = length();
  if (!hasFocus()) {
    drawPart(&area, 0, len, x, y, text);
    return;
  }
  int h = int(s->font->height);
  if (!selection_) {
    drawPart(&area, 0, len, x, y, text);
    int cx = x + widthOf(0, caret_);
    area.fillRect(rfb::Rect(cx, y, cx + s->bevelWidth, y + h), text);
    return;
  }
  int from = std::min(caret_, anchor()), to = std::max(caret_, anchor());
  int x1 = x + widthOf(0, from), x2 = x1 + widthOf(from, to);
  drawPart(&area, 0, from, x, y, text);
  area.fillRect(rfb::Rect(x1, y, x2, y + h), colourToPixel(s->selectedBackground, pb));
  drawPart(&area, from, to, x1, y, colourToPixel(s->selectedTextColour, pb));
  drawPart(&area, to, len, x2, y, text);
}

void WText::getPreferredSize(int* width, int* height) {
  Font* font = getStyle()->font;
  *width = font->textWidth(text_.c_str(), text_.c_str() + text_.size()) + 12;
  *height = int(font->height) + 8;
}

} // namespace wvw
