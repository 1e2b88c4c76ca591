#include "wvw/WMenu.h"

#include "wvw/WMenuItem.h"

#include "plat/LogWriter.h"

#include <algorithm>
#include <climits>
#include <map>

static plat::LogWriter vlog("WMenu");

namespace wvw {

WMenu::WMenu() : WFrame(false), maxHeight_(0), minWidth_(0), itemSpacing_(0), highlightStyle_() {
}

WMenu::~WMenu() {
  for (WMenuItem* i : items_)
    i->menu_ = nullptr;
}

void WMenu::forgetItem(WMenuItem* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
}

void WMenu::insertItem(WMenuItem* item, WMenuItem* before) {
  bool listed = std::find(items_.begin(), items_.end(), item) != items_.end();
  forgetItem(item);
  auto at = std::find(items_.begin(), items_.end(), before);
  if (!before)
    at = items_.end();
  Widget* childBefore = at == items_.end() ? nullptr : *at;
  items_.insert(at, item);
  if (listed || item->getContainer() == this)
    WLayout::removeChild(item);
  addChild(item, childBefore);
  item->menu_ = this;
  layoutItems();
}

void WMenu::removeItem(WMenuItem* item) {
  if (std::find(items_.begin(), items_.end(), item) == items_.end())
    return;
  forgetItem(item);
  WLayout::removeChild(item);
  item->menu_ = nullptr;
  layoutItems();
}

WMenuItem* WMenu::addSeparator(WMenuItem* before) {
  WMenuItem* sep = new WMenuItem(nullptr, nullptr, false);
  insertItem(sep, before);
  return sep;
}

void WMenu::setItemSpacing(int spacing) {
  itemSpacing_ = spacing;
  layoutItems();
}

void WMenu::setMinWidth(int minWidth) {
  minWidth_ = minWidth;
  layoutItems();
}

void WMenu::setMaxHeight(int maxHeight) {
  maxHeight_ = maxHeight;
  layoutItems();
}

WMenuItem* WMenu::getFocusedItem() const {
  Widget* f = getFocusChild();
  for (WMenuItem* i : items_)
    if (i == f)
      return i;
  return nullptr;
}

void WMenu::placeItems(const std::vector<WMenuItem*>& visible, int itemWidth, int limit) {
  int x = 0, y = 0;
  std::map<int, std::pair<int, int>> columns;
  for (WMenuItem* item : visible) {
    int w, h;
    item->getPreferredSize(&w, &h);
    int step = h + itemSpacing_;
    // A column always takes at least one item, even one taller than the
    // limit, so that no column stays empty.
    if (y > 0 && int64_t(y) + step > limit) {
      x += itemWidth;
      y = 0;
    }
    columns.emplace(x, std::make_pair(0, 0));
    moveChild(item, rfb::Point(x, y));
    y += step;
  }
  if (int64_t(x) + itemWidth < minWidth_ && !columns.empty()) {
    int n = int(columns.size()), i = 0;
    for (auto& c : columns) {
      c.second.first = int(int64_t(minWidth_) * i / n);
      c.second.second = int(int64_t(minWidth_) * (i + 1) / n);
      i++;
    }
    for (WMenuItem* item : visible) {
      rfb::Rect r = getChildRect(item);
      const std::pair<int, int>& c = columns[r.tl.x];
      setChildRect(item, rfb::Rect(c.first, r.tl.y, c.second, r.br.y));
    }
  }
}

void WMenu::layoutItems() {
  std::vector<WMenuItem*> visible;
  for (WMenuItem* item : items_) {
    if (item->isVisible()) {
      visible.push_back(item);
    } else {
      moveChild(item, rfb::Point(0, 0));
      item->setSize(0, 0);
    }
  }
  int itemWidth = 0;
  for (WMenuItem* item : visible) {
    int w, h;
    item->getPreferredSize(&w, &h);
    itemWidth = std::max(itemWidth, w);
  }
  for (WMenuItem* item : visible) {
    int w, h;
    item->getPreferredSize(&w, &h);
    item->setSize(0, 0);
    item->setSize(itemWidth, h);
  }
  int limit = INT_MAX;
  int previousHeight = INT_MAX;
  for (;;) {
    placeItems(visible, itemWidth, limit);
    fit();
    if (maxHeight_ == 0 || height_ <= maxHeight_)
      break;
    // A pass that made the menu no lower cannot be bettered by halving
    // further: an item taller than the limit keeps its column that high.
    if (height_ >= previousHeight)
      break;
    previousHeight = height_;
    limit = height_ / 2;
  }
}

bool WMenu::onVisibilityChange(Widget* source) {
  if (source == this)
    layoutItems();
  return WFrame::onVisibilityChange(source);
}

bool WMenu::onAttach(Widget* source) {
  if (source == this) {
    styleChanged();
    layoutItems();
  }
  return WFrame::onAttach(source);
}

void WMenu::styleChanged() {
  highlightStyle_ = *getStyle();
  highlightStyle_.textColour = highlightStyle_.selectedTextColour;
  highlightStyle_.background = highlightStyle_.selectedBackground;
  WFrame::styleChanged();
}

bool WMenu::isItem(Widget* w) const {
  return std::find(items_.begin(), items_.end(), w) != items_.end();
}

bool WMenu::clickMnemonic(uint32_t keysym, bool down) {
  if (!down || keysym == 0)
    return false;
  for (WMenuItem* item : items_) {
    if (!item->isEnabled() || item->isSeparator())
      continue;
    if (WMenuItem::mnemonicMatches(keysym, item->getMnemonic())) {
      item->onClick(item);
      return true;
    }
  }
  return false;
}

bool WMenu::onKey(uint32_t keysym, bool down, Widget* source) {
  return clickMnemonic(keysym, down) || WFrame::onKey(keysym, down, source);
}

} // namespace wvw
