#include "wvw/WLayoutMenu.h"

#include "wvw/WMenuItem.h"

#include "rfb/KeysymNames.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WLayoutMenu");

namespace wvw {

namespace {
namespace keys = rfb::keys;
}

WLayoutMenu::WLayoutMenu(WLayout* owner) : owner_(owner), opener_(nullptr) {
  setVisible(false);
}

// A menu destroyed while up leaves the root quietly (the widget base sees to
// it), telling nobody: its opener may be going away too.
WLayoutMenu::~WLayoutMenu() = default;

WLayout* WLayoutMenu::ownerRoot(rfb::Point* offset) {
  WLayout* root = owner_->findRoot(offset);
  if (!root) {
    root = owner_;
    *offset = rfb::Point(0, 0);
  }
  return root;
}

void WLayoutMenu::popup(const rfb::Point& point) {
  rfb::Point offset;
  WLayout* root = ownerRoot(&offset);
  rfb::Point p = offset.translate(point);
  setMaxHeight(root->height());
  AliveCheck alive(this);
  root->setPopup(this, p);
  if (alive.gone())
    return;
  rfb::Point clamped(std::max(0, std::min(p.x, root->width() - width_)),
                     std::max(0, std::min(p.y, root->height() - height_)));
  if (clamped != p)
    root->moveChild(this, clamped);
  // A hidden layout refuses the focus: show first, then focus.
  setVisible(true);
  if (alive.gone())
    return;
  takeFocus();
}

void WLayoutMenu::popdown() {
  AliveCheck alive(this);
  if (WLayout* c = getContainer())
    c->removeChild(this);
  if (!alive.gone())
    setVisible(false);
}

bool WLayoutMenu::onDetach(Widget* source) {
  if (source == this && opener_) {
    AliveCheck alive(this);
    opener_->takeFocus();
    if (alive.gone())
      return true;
  }
  return WMenu::onDetach(source);
}

bool WLayoutMenu::onKey(uint32_t keysym, bool down, Widget* source) {
  if (opener_ && source != this && isItem(source) && keysym != keys::Return &&
      keysym != keys::space) {
    if (clickMnemonic(keysym, down))
      return true;
    AliveCheck alive(this);
    if (opener_->onKey(keysym, down, opener_) || alive.gone())
      return true;
  }
  return WMenu::onKey(keysym, down, source);
}

void WLayoutMenu::onOpenerKey(uint32_t keysym, bool shiftDown, const std::function<void()>& close,
                              const std::function<void(WMenuItem*)>& choose) {
  switch (keysym) {
  case keys::Escape:
    if (close)
      close();
    else
      popdown();
    break;
  case keys::Return:
    if (WMenuItem* item = getFocusedItem()) {
      if (choose)
        choose(item);
      else
        item->onClick(item);
    }
    break;
  case keys::Tab:
    if (shiftDown)
      focusPrevious();
    else
      focusNext();
    break;
  case keys::Down:
    focusNext();
    break;
  case keys::Up:
    focusPrevious();
    break;
  }
}

} // namespace wvw
