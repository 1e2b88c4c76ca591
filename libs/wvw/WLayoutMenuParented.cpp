#include "wvw/WLayoutMenuParented.h"

#include "wvw/WMenuBar.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

static plat::LogWriter vlog("WLayoutMenuParented");

namespace wvw {

WLayoutMenuParented::WLayoutMenuParented(WMenuBar* bar) : WLayoutMenu(bar), bar_(bar) {
}

WLayoutMenuParented::~WLayoutMenuParented() = default;

// While a button is held over an item, the item reports the moves, in its
// own coordinates.
bool WLayoutMenuParented::onPointerMove(const rfb::Point& at, Widget* source) {
  rfb::Point pos = at;
  bool fromItem = source != this && isItem(source);
  if (fromItem)
    pos = at.translate(getChildPosition(source));
  if ((source == this || fromItem) &&
      !(pos.x >= 0 && pos.x < width_ && pos.y >= 0 && pos.y < height_)) {
    if (parent_) {
      rfb::Point p;
      try {
        p = mapPointTo(pos, bar_);
      } catch (plat::Exception&) {
        return true; // the bar is no longer in the menu's tree
      }
      if (p.x >= 0 && p.x < bar_->width() && p.y >= 0 && p.y < bar_->height())
        bar_->onPointerMove(p, bar_);
    }
    return true;
  }
  return WLayoutMenu::onPointerMove(at, source);
}

bool WLayoutMenuParented::onDetach(Widget* source) {
  if (source == this) {
    AliveCheck alive(this);
    bar_->onDetach(this);
    if (alive.gone())
      return true;
  }
  return WLayoutMenu::onDetach(source);
}

} // namespace wvw
