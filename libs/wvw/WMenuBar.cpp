#include "wvw/WMenuBar.h"

#include "wvw/WMenuGroup.h"
#include "wvw/WMenuItem.h"

#include "rfb/KeysymNames.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WMenuBar");

namespace wvw {

namespace {
namespace keys = rfb::keys;
}

WMenuBar::WMenuBar() : lastEntry_(nullptr) {
}

WMenuBar::~WMenuBar() {
  for (WMenuGroup* e : entries_)
    delete e;
}

WMenuGroup* WMenuBar::addMenu(const char* text) {
  WMenuGroup* entry = new WMenuGroup(this, text);
  int w, h;
  entry->getPreferredSize(&w, &h);
  entry->setSize(w, h);
  addChild(entry);
  entries_.push_back(entry);
  layoutEntries();
  return entry;
}

void WMenuBar::layoutEntries() {
  int x = 0;
  for (WMenuGroup* e : entries_) {
    moveChild(e, rfb::Point(x, 0));
    x += e->width();
  }
}

void WMenuBar::setInputHandler(WInputHandler* handler) {
  for (WMenuGroup* e : entries_)
    e->getMenu()->setInputHandler(handler);
}

bool WMenuBar::onSizeChange(Widget* source) {
  if (source == this)
    layoutEntries();
  return WLayout::onSizeChange(source);
}

void WMenuBar::getPreferredSize(int* width, int* height) {
  WLayout::getPreferredSize(width, height);
  *height += 2;
}

void WMenuBar::draw(rfb::WritablePixelBuffer* pb) {
  WLayout::draw(pb);
  pb->fillRect(rfb::Rect(0, height_ - 2, width_, height_ - 1), colourToPixel(BevelLow, pb));
  pb->fillRect(rfb::Rect(0, height_ - 1, width_, height_), colourToPixel(BevelHigh, pb));
}

bool WMenuBar::onDetach(Widget* source) {
  for (WMenuGroup* e : entries_)
    if (source == e->getMenu()) {
      e->setOpen(false);
      break;
    }
  return WLayout::onDetach(source);
}

void WMenuBar::activate(WMenuGroup* entry) {
  lastEntry_ = entry;
  entry->onClick(entry);
}

bool WMenuBar::onKey(uint32_t keysym, bool down, Widget* source) {
  if (!down || keysym == 0 || entries_.empty())
    return WLayout::onKey(keysym, down, source);
  for (WMenuGroup* e : entries_) {
    if (!e->isEnabled() || e->isOpen())
      continue;
    if (WMenuItem::mnemonicMatches(keysym, e->getMnemonic())) {
      activate(e);
      return true;
    }
  }
  if (entries_.size() < 2 || (keysym != keys::Left && keysym != keys::Right))
    return WLayout::onKey(keysym, down, source);
  int n = int(entries_.size()), current = -1;
  for (int i = 0; i < n && current < 0; i++)
    if (entries_[size_t(i)]->isOpen())
      current = i;
  if (current < 0)
    for (int i = 0; i < n; i++)
      if (entries_[size_t(i)] == lastEntry_)
        current = i;
  int next;
  if (current < 0)
    next = 0;
  else if (keysym == keys::Left)
    next = (current + n - 1) % n;
  else
    next = (current + 1) % n;
  activate(entries_[size_t(next)]);
  return true;
}

// The pointer over an entry is reported by the entry, in its coordinates.
bool WMenuBar::onPointerMove(const rfb::Point& pos, Widget* source) {
  WMenuGroup* from = nullptr;
  for (WMenuGroup* e : entries_)
    if (source == e)
      from = e;
  if (source == this || from) {
    rfb::Point p = from ? pos.translate(getChildPosition(from)) : pos;
    WMenuGroup *under = nullptr, *open = nullptr;
    for (WMenuGroup* e : entries_) {
      if (getChildRect(e).contains(p))
        under = e;
      if (e->isOpen())
        open = e;
    }
    if (open && under && open != under) {
      AliveCheck alive(this);
      open->popdown();
      if (alive.gone())
        return true;
      under->popup();
      if (alive.gone())
        return true;
    }
  }
  return WLayout::onPointerMove(pos, source);
}

} // namespace wvw
