#include "wvw/Widget.h"

#include "wvw/Font8x16.h"
#include "wvw/Style.h"
#include "wvw/WLayout.h"

#include "rfb/KeysymNames.h"
#include "rfb/Keysyms.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

static plat::LogWriter vlog("Widget");

namespace wvw {

namespace {
namespace keys = rfb::keys;
} // namespace

rfb::Colour Widget::Black(0, 0, 0);
rfb::Colour Widget::White(255, 255, 255);
rfb::Colour Widget::Red(200, 0, 0);
rfb::Colour Widget::Orange(200, 72, 0);
rfb::Colour Widget::Blue(0, 0, 200);
rfb::Colour Widget::Green(0, 200, 0);
rfb::Colour Widget::TextFg(0, 0, 0);
rfb::Colour Widget::TextBg(255, 255, 255);
rfb::Colour Widget::TextDisabled(112, 112, 112);
rfb::Colour Widget::BevelBg(200, 200, 200);
rfb::Colour Widget::BevelBgDark(184, 184, 184);
rfb::Colour Widget::BevelHigh(238, 238, 238);
rfb::Colour Widget::BevelLow(85, 85, 85);

WInputHandler::~WInputHandler() = default;
bool WInputHandler::onPointerMove(const rfb::Point&, Widget*) {
  return false;
}
bool WInputHandler::onButtonPress(int, Widget*) {
  return false;
}
bool WInputHandler::onButtonRelease(int, Widget*) {
  return false;
}
bool WInputHandler::onPointerLeave(Widget*) {
  return false;
}
bool WInputHandler::onKey(uint32_t, bool, Widget*) {
  return false;
}
bool WInputHandler::onFocusChange(bool, Widget*) {
  return false;
}
bool WInputHandler::onClick(Widget*) {
  return false;
}
bool WInputHandler::onChange(Widget*) {
  return false;
}
bool WInputHandler::onVisibilityChange(Widget*) {
  return false;
}
bool WInputHandler::onAttach(Widget*) {
  return false;
}
bool WInputHandler::onDetach(Widget*) {
  return false;
}
bool WInputHandler::onEnabledChange(Widget*) {
  return false;
}
bool WInputHandler::onSizeChange(Widget*) {
  return false;
}
bool WInputHandler::onPaste(Widget*) {
  return false;
}
bool WInputHandler::onCopy(Widget*) {
  return false;
}

WParent::~WParent() = default;
Style* WParent::getStyle() {
  return nullptr;
}

Widget::Widget()
    : parent_(nullptr), parentHandler_(nullptr), handler_(nullptr), width_(0), height_(0),
      visible_(true), enabled_(true), lastButtons_(0), style_(nullptr), container_(nullptr),
      lifeToken_(std::make_shared<const bool>(true)) {
}

Widget::Widget(WLayout* layout) : Widget() {
  layout->addChild(this, nullptr);
}

// A widget destroyed while still in a layout (say by a handler of its own
// events) leaves it without being told, so that the layout keeps no pointer
// to it, and the dispatch that called the handler stops. The focus it held
// moves on as on a removal; removing it first also repaints its area.
Widget::~Widget() {
  lifeToken_.reset();
  if (container_)
    container_->forgetChild(this);
}

// Offers an event to the own handler, then to the parent's handler (unless
// the own handler deleted the widget).
#define FORWARD(call)                                                                              \
  do {                                                                                             \
    if (handler_) {                                                                                \
      AliveCheck alive(this);                                                                      \
      if (handler_->call)                                                                          \
        return true;                                                                               \
      if (alive.gone())                                                                            \
        return false;                                                                              \
    }                                                                                              \
    return parentHandler_ && parentHandler_->call;                                                 \
  } while (0)

bool Widget::onPointerMove(const rfb::Point& pos, Widget* source) {
  FORWARD(onPointerMove(pos, source));
}

bool Widget::onButtonPress(int button, Widget* source) {
  if (button == 0 && source == this && acceptsFocus()) {
    AliveCheck alive(this);
    takeFocus();
    if (alive.gone())
      return true;
  }
  FORWARD(onButtonPress(button, source));
}

bool Widget::onButtonRelease(int button, Widget* source) {
  FORWARD(onButtonRelease(button, source));
}

bool Widget::onPointerLeave(Widget* source) {
  FORWARD(onPointerLeave(source));
}

bool Widget::onKey(uint32_t keysym, bool down, Widget* source) {
  {
    AliveCheck alive(this);
    if (handler_ && handler_->onKey(keysym, down, source))
      return true;
    if (alive.gone())
      return true;
    if (parentHandler_ && parentHandler_->onKey(keysym, down, source))
      return true;
    if (alive.gone())
      return true;
  }
  if (!down || source != this)
    return false;
  switch (keysym) {
  case keys::Tab:
    if (parent_) {
      if (isShiftDown())
        parent_->focusPrevious();
      else
        parent_->focusNext();
    }
    return true;
  case keys::Down:
    if (parent_)
      parent_->focusNext();
    return true;
  case keys::Up:
    if (parent_)
      parent_->focusPrevious();
    return true;
  case 'v':
  case 'V':
    if (!isControlDown())
      return false;
    if (AliveCheck alive(this); !onPaste(this) && !alive.gone())
      bell();
    return true;
  case 'c':
  case 'C':
    if (!isControlDown())
      return false;
    if (AliveCheck alive(this); !onCopy(this) && !alive.gone())
      bell();
    return true;
  }
  return false;
}

bool Widget::onFocusChange(bool reverse, Widget* source) {
  FORWARD(onFocusChange(reverse, source));
}
bool Widget::onClick(Widget* source) {
  FORWARD(onClick(source));
}
bool Widget::onChange(Widget* source) {
  FORWARD(onChange(source));
}
bool Widget::onVisibilityChange(Widget* source) {
  FORWARD(onVisibilityChange(source));
}
bool Widget::onAttach(Widget* source) {
  FORWARD(onAttach(source));
}
bool Widget::onDetach(Widget* source) {
  FORWARD(onDetach(source));
}
bool Widget::onEnabledChange(Widget* source) {
  FORWARD(onEnabledChange(source));
}
bool Widget::onSizeChange(Widget* source) {
  FORWARD(onSizeChange(source));
}
bool Widget::onPaste(Widget* source) {
  FORWARD(onPaste(source));
}
bool Widget::onCopy(Widget* source) {
  FORWARD(onCopy(source));
}

#undef FORWARD

void Widget::styleChanged() {
  invalidate();
}

void Widget::setParent(WParent* parent, WInputHandler* parentHandler) {
  parent_ = parent;
  parentHandler_ = parentHandler;
  invalidate();
  onAttach(this);
}

void Widget::clearParent() {
  AliveCheck alive(this);
  onDetach(this);
  if (alive.gone())
    return;
  parent_ = nullptr;
  parentHandler_ = nullptr;
}

void Widget::pointerEvent(const rfb::Point& pos, int buttonMask) {
  AliveCheck alive(this);
  if (pos != lastPointer_) {
    onPointerMove(pos, this);
    if (alive.gone())
      return;
    lastPointer_ = pos;
  }
  uint8_t mask = uint8_t(buttonMask);
  if (mask == lastButtons_)
    return;
  uint8_t old = lastButtons_;
  lastButtons_ = mask;
  for (int n = 0; n < 8; n++) {
    uint8_t bit = uint8_t(1 << n);
    if ((old ^ mask) & bit) {
      if (mask & bit)
        onButtonPress(n, this);
      else
        onButtonRelease(n, this);
      if (alive.gone())
        return;
    }
  }
}

void Widget::pointerLeave() {
  AliveCheck alive(this);
  onPointerLeave(this);
  if (!alive.gone())
    lastButtons_ = 0;
}

void Widget::keyEvent(uint32_t keysym, bool down) {
  onKey(rfb::canonicalKeysym(keysym), down, this);
}

void Widget::invalidate() {
  invalidateRegion(rfb::RectSet(rfb::Rect(0, 0, width_, height_)));
}

void Widget::invalidateRegion(const rfb::RectSet& region) {
  if (parent_ && visible_)
    parent_->invalidateChild(this, region);
}

void Widget::bell() {
  if (parent_ && visible_)
    parent_->bell();
}

void Widget::setSize(int width, int height) {
  if (width == width_ && height == height_)
    return;
  rfb::Rect damage = rfb::Rect(0, 0, width_, height_).unionBoundary(rfb::Rect(0, 0, width, height));
  width_ = width;
  height_ = height;
  invalidateRegion(rfb::RectSet(damage));
  onSizeChange(this);
}

void Widget::setVisible(bool visible) {
  if (visible == visible_)
    return;
  // The area a hidden widget leaves must be repainted too: report it while
  // the widget still counts as visible.
  if (!visible)
    invalidate();
  visible_ = visible;
  invalidate();
  if (!visible && hasFocus()) {
    AliveCheck alive(this);
    parent_->focusNext();
    if (alive.gone())
      return;
  }
  onVisibilityChange(this);
}

bool Widget::acceptsFocus() {
  return enabled_ && visible_;
}

void Widget::setEnabled(bool enabled) {
  if (enabled == enabled_)
    return;
  enabled_ = enabled;
  if (!enabled && hasFocus()) {
    AliveCheck alive(this);
    parent_->focusNext();
    if (alive.gone())
      return;
  }
  onEnabledChange(this);
}

void Widget::setInputHandler(WInputHandler* handler) {
  handler_ = handler;
}

bool Widget::isKeyDown(uint32_t keysym) {
  return parent_ && parent_->isKeyHeld(keysym);
}

Style* Widget::getStyle() {
  if (style_)
    return style_;
  if (parent_)
    if (Style* s = parent_->getStyle())
      return s;
  return getDefaultStyle();
}

void Widget::setStyle(Style* style) {
  style_ = style;
  styleChanged();
}

bool Widget::hasFocus() {
  return parent_ && parent_->isFocused(this);
}

void Widget::takeFocus() {
  if (parent_)
    parent_->setFocus(this);
}

bool Widget::isShiftDown() {
  return isKeyDown(keys::Shift_L) || isKeyDown(keys::Shift_R);
}
bool Widget::isControlDown() {
  return isKeyDown(keys::Control_L) || isKeyDown(keys::Control_R);
}
bool Widget::isAltDown() {
  return isKeyDown(keys::Alt_L) || isKeyDown(keys::Alt_R);
}

WLayout* Widget::findRoot(rfb::Point* offset) {
  rfb::Point off;
  WLayout* root = nullptr;
  Widget* w = this;
  while (WLayout* c = w->container_) {
    off = off.translate(c->getChildPosition(w));
    root = c;
    w = c;
  }
  if (offset)
    *offset = off;
  return root;
}

rfb::Point Widget::mapPointTo(const rfb::Point& p, Widget* other) {
  rfb::Point mine, theirs;
  WLayout* a = findRoot(&mine);
  WLayout* b = other->findRoot(&theirs);
  if (!a || !b || a != b)
    throw plat::Exception("no common ancestor");
  return p.translate(mine).subtract(theirs);
}

void Widget::drawFocusRect(rfb::WritablePixelBuffer* pb, const rfb::Rect& r) {
  pb->outlineRect(r, colourToPixel(getStyle()->focusColour, pb));
}

namespace {
// A 12 x 12 circle: the light upper-left arc and the dark lower-right one,
// two bytes per row, most significant bit leftmost.
const uint8_t roundLight[24] = {0x1F, 0x80, 0x7F, 0xC0, 0x60, 0x00, 0xC0, 0x00,
                                0xC0, 0x00, 0xC0, 0x00, 0xC0, 0x00, 0xC0, 0x00,
                                0xC0, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00};
const uint8_t roundDark[24] = {0x00, 0x00, 0x00, 0x20, 0x00, 0x60, 0x00, 0x30,
                               0x00, 0x30, 0x00, 0x30, 0x00, 0x30, 0x00, 0x30,
                               0x00, 0x30, 0x20, 0x60, 0x7F, 0xC0, 0x1F, 0x80};
} // namespace

void Widget::drawBevel(rfb::WritablePixelBuffer* pb, const rfb::Rect& r, bool sunken, bool round) {
  Style* s = getStyle();
  uint32_t light = colourToPixel(s->bevelHighlight, pb);
  uint32_t dark = colourToPixel(s->bevelShadow, pb);
  if (sunken)
    std::swap(light, dark);
  if (round) {
    rfb::Point tl(r.tl.x + (r.br.x - r.tl.x - 12) / 2, r.tl.y + (r.br.y - r.tl.y - 12) / 2);
    rfb::Rect circle = rfb::Rect::at(tl, 12, 12);
    pb->maskRect(circle, light, roundLight, 2, 0);
    pb->maskRect(circle, dark, roundDark, 2, 0);
    return;
  }
  for (const rfb::Rect& ring : {growRect(r, -1), r}) {
    int x0 = ring.tl.x, y0 = ring.tl.y, x1 = ring.br.x, y1 = ring.br.y;
    pb->fillRect(rfb::Rect(x0, y1 - 1, x1, y1), dark);
    pb->fillRect(rfb::Rect(x1 - 1, y0, x1, y1), dark);
    pb->fillRect(rfb::Rect(x0, y0, x1, y0 + 1), light);
    pb->fillRect(rfb::Rect(x0, y0, x0 + 1, y1), light);
  }
}

Style* Widget::getDefaultStyle() {
  static Style style = {&Font8x16::instance, TextFg,   TextDisabled, White, BevelBg, BevelBg,
                        BevelHigh,           BevelLow, White,        Blue,  Black,   2};
  return &style;
}

uint32_t colourToPixel(const rfb::Colour& c, rfb::PixelBuffer* pb) {
  const rfb::PixelLayout& pf = pb->getPF();
  uint32_t pixel;
  if (pf.trueColour) {
    uint32_t r = uint32_t(c.r), g = uint32_t(c.g), b = uint32_t(c.b);
    if (pf.redMax != 255 || pf.greenMax != 255 || pf.blueMax != 255) {
      r = (r * pf.redMax + 127) / 255;
      g = (g * pf.greenMax + 127) / 255;
      b = (b * pf.blueMax + 127) / 255;
    }
    // A shift from a layout nobody checked may lie beyond the pixel value.
    auto place = [](uint32_t v, unsigned shift) { return shift < 32 ? v << shift : 0; };
    pixel = place(r, pf.redShift) | place(g, pf.greenShift) | place(b, pf.blueShift);
  } else {
    rfb::ColourMap* cm = pb->getColourMap();
    pixel = cm ? uint32_t(cm->lookupRGB(c)) : 0;
  }
  if (pf.bigEndian) {
    if (pf.bpp == 32)
      pixel = __builtin_bswap32(pixel);
    else if (pf.bpp == 16)
      pixel = uint32_t(__builtin_bswap16(uint16_t(pixel)));
  }
  return pixel;
}

rfb::Rect growRect(const rfb::Rect& r, int n) {
  return rfb::Rect(r.tl.x - n, r.tl.y - n, r.br.x + n, r.br.y + n);
}

} // namespace wvw
