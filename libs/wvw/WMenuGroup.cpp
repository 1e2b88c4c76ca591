#include "wvw/WMenuGroup.h"

#include "wvw/Font.h"
#include "wvw/Style.h"
#include "wvw/WMenuBar.h"
#include "wvw/WMenuItem.h"

#include "rfb/KeysymNames.h"

#include "plat/LogWriter.h"

#include <cctype>
#include <cstring>

static plat::LogWriter vlog("WMenuGroup");

namespace wvw {

namespace {
namespace keys = rfb::keys;
}

WMenuGroup::WMenuGroup(WMenuBar* bar, const char* text)
    : menu_(bar), bar_(bar), open_(false), mnemonic_(0), mnemonicIndex_(-1) {
  label_.setText(WMenuItem::parseMnemonic(text, &mnemonic_, &mnemonicIndex_).c_str());
  setContent(&label_);
  menu_.setOpener(this);
}

WMenuGroup::WMenuGroup(WMenuBar* bar, const char* text, uint32_t key)
    : menu_(bar), bar_(bar), open_(false), mnemonic_(key), mnemonicIndex_(-1) {
  label_.setText(text);
  if (key < 127 && isprint(int(key)) && text)
    if (const char* at = strchr(text, int(key)))
      mnemonicIndex_ = int(at - text);
  setContent(&label_);
  menu_.setOpener(this);
}

// The items leave the menu before it goes.
WMenuGroup::~WMenuGroup() {
  menu_.setOpener(nullptr);
  items_.clear();
}

WMenuItem* WMenuGroup::addItem(const char* text) {
  items_.emplace_back(new WMenuItem(&menu_, text, false));
  return items_.back().get();
}

void WMenuGroup::setOpen(bool open) {
  if (open == open_)
    return;
  open_ = open;
  invalidate();
}

void WMenuGroup::popup() {
  AliveCheck alive(this);
  open_ = true;
  rfb::Rect r = bar_->getChildRect(this);
  menu_.popup(rfb::Point(r.tl.x, r.br.y));
  if (!alive.gone())
    invalidate();
}

void WMenuGroup::popdown() {
  AliveCheck alive(this);
  open_ = false;
  menu_.popdown();
  if (!alive.gone())
    invalidate();
}

bool WMenuGroup::onClick(Widget* source) {
  if (source == this) {
    if (open_)
      popdown();
    else
      popup();
    return true;
  }
  return WBevelButton::onClick(source);
}

bool WMenuGroup::onEnabledChange(Widget* source) {
  if (source == this)
    label_.setEnabled(enabled_);
  return WBevelButton::onEnabledChange(source);
}

bool WMenuGroup::onKey(uint32_t keysym, bool down, Widget* source) {
  if (source == this && down && open_ && keysym != keys::Left && keysym != keys::Right) {
    menu_.onOpenerKey(keysym, isShiftDown(), [this] { popdown(); });
    return true;
  }
  return WBevelButton::onKey(keysym, down, source);
}

void WMenuGroup::draw(rfb::WritablePixelBuffer* pb) {
  WLayout::draw(pb);
  rfb::Rect all(0, 0, width_, height_);
  if (open_)
    drawBevel(pb, all, pressed_, false);
  if (mnemonicIndex_ < 0)
    return;
  const char* t = label_.getText();
  std::string text = t ? t : "";
  if (size_t(mnemonicIndex_) >= text.size())
    return;
  Style* s = getStyle();
  Font* f = s->font;
  int w1 = f->textWidth(text.c_str(), text.c_str() + mnemonicIndex_);
  int w2 = f->textWidth(text.c_str(), text.c_str() + WMenuItem::mnemonicEnd(text, mnemonicIndex_));
  rfb::Point l = getChildPosition(&label_);
  int fh = int(f->height);
  const rfb::Colour& c = enabled_ ? s->textColour : s->disabledTextColour;
  pb->fillRect(rfb::Rect(l.x + 4 + w1, l.y + fh - 2, l.x + 4 + w2, l.y + fh - 1),
               colourToPixel(c, pb));
}

} // namespace wvw
