#include "ui/WFileList.h"

#include "rfb/KeysymNames.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "wvw/Font.h"
#include "wvw/Style.h"

#include <algorithm>
#include <cstring>

static plat::LogWriter vlog("WFileList");

namespace {
namespace keys = rfb::keys;
// The gap around and between the items, and the step of the Left and Right
// keys into the neighbouring column.
const int margin = 4;
const int sideStep = 5;

bool isPrintable(uint32_t keysym) {
  return keysym >= 32 && keysym <= 126;
}

// ".." first, then byte order (upper case before lower case).
bool itemBefore(const WFileList::Item& a, const WFileList::Item& b) {
  bool aUp = a.name == "..", bUp = b.name == "..";
  if (aUp || bUp)
    return aUp && !bUp;
  return strcmp(a.name.c_str(), b.name.c_str()) < 0;
}
} // namespace

WFileList::ItemGetter::~ItemGetter() = default;
WFileList::Callback::~Callback() = default;

WFileList::WFileList(Callback* callback)
    : callback_(callback), doubleClickTimer_(this), typeAheadTimer_(this),
      doubleClickPending_(false), minWidth_(0), multipleSelection_(false), anchor_(-1) {
}

WFileList::~WFileList() {
  doubleClickTimer_.stop();
  typeAheadTimer_.stop();
}

int WFileList::fontHeight() {
  return int(getStyle()->font->height);
}

std::string WFileList::displayName(const Item& item) {
  return item.isDirectory ? item.name + "/" : item.name;
}

void WFileList::refresh(ItemGetter* getter) {
  if (getter)
    getter->startListing();
  items_.clear();
  anchor_ = -1;
  if (!getter)
    return;
  for (;;) {
    try {
      Item item;
      if (!getter->nextItem(&item.name, &item.isDirectory))
        break;
      items_.push_back(std::move(item));
    } catch (plat::Exception& e) {
      vlog.notice("%s", e.str());
    }
  }
  std::sort(items_.begin(), items_.end(), itemBefore);
  layoutItems();
}

void WFileList::layoutItems() {
  wvw::Font* font = getStyle()->font;
  int fh = int(font->height);
  int x = margin, y = margin, columnWidth = 0;
  size_t columnStart = 0;
  auto closeColumn = [&](size_t end) {
    for (size_t i = columnStart; i < end; i++) {
      rfb::Rect& r = items_[i].rect;
      r.br = rfb::Point(r.tl.x + columnWidth, r.tl.y + fh);
    }
    x += columnWidth + margin;
    y = margin;
    columnWidth = 0;
    columnStart = end;
  };
  for (size_t i = 0; i < items_.size(); i++) {
    if (i > columnStart && y + fh > height_ - margin)
      closeColumn(i);
    items_[i].rect.tl = rfb::Point(x, y);
    y += fh + margin;
    columnWidth = std::max(columnWidth, font->textWidth(displayName(items_[i]).c_str()));
  }
  if (columnStart < items_.size())
    closeColumn(items_.size());
  setSize(std::max(minWidth_, x), height_);
  invalidate();
}

void WFileList::setMinWidth(int width) {
  if (width == minWidth_)
    return;
  minWidth_ = width;
  layoutItems();
}

void WFileList::setHeight(int height, bool snap) {
  if (snap) {
    int row = fontHeight() + margin;
    height = ((height - margin) / row) * row + margin;
  }
  if (height == height_)
    return;
  setSize(width_, height);
  layoutItems();
}

void WFileList::getPreferredSize(int* width, int* height) {
  *width = width_;
  *height = height_;
}

WFileList::Item* WFileList::itemAt(const rfb::Point& p) {
  for (Item& item : items_)
    if (item.rect.contains(p))
      return &item;
  return nullptr;
}

WFileList::Item* WFileList::firstSelected() {
  for (Item& item : items_)
    if (item.selected)
      return &item;
  return nullptr;
}

bool WFileList::reportSelection(Item* item) {
  if (!callback_)
    return true;
  AliveCheck alive(this);
  callback_->selectionChanged(this, item);
  return !alive.gone();
}

bool WFileList::reportActivated(Item* item) {
  if (!callback_)
    return true;
  AliveCheck alive(this);
  callback_->itemActivated(this, item);
  return !alive.gone();
}

void WFileList::selectOnly(Item* item) {
  for (Item& i : items_)
    i.selected = &i == item;
  anchor_ = indexOf(item);
}

WFileList::Item* WFileList::selectByName(const char* text, bool prefix) {
  anchor_ = -1;
  size_t n = strlen(text);
  Item* found = nullptr;
  for (Item& item : items_) {
    bool match = prefix ? strncmp(item.name.c_str(), text, n) == 0 : item.name == text;
    if (match) {
      found = &item;
      break;
    }
  }
  selectOnly(found);
  invalidate();
  int index = indexOf(found);
  if (!reportSelection(found))
    return nullptr;
  // The callback may have refreshed the list.
  return index >= 0 && index < numItems() ? item(index) : nullptr;
}

void WFileList::selectNext() {
  Item* first = firstSelected();
  if (!first || first == &items_.back())
    return;
  first->selected = false;
  Item* next = first + 1;
  next->selected = true;
  anchor_ = indexOf(next);
  if (reportSelection(next))
    invalidate();
}

void WFileList::selectPrevious() {
  Item* first = firstSelected();
  if (!first || first == &items_.front())
    return;
  first->selected = false;
  Item* previous = first - 1;
  previous->selected = true;
  anchor_ = indexOf(previous);
  if (reportSelection(previous))
    invalidate();
}

void WFileList::selectRange(Item* a, Item* b) {
  if (!a || !b)
    return;
  int from = std::min(indexOf(a), indexOf(b)), to = std::max(indexOf(a), indexOf(b));
  for (int i = 0; i < numItems(); i++)
    items_[size_t(i)].selected = i >= from && i <= to;
  if (reportSelection(item(from)))
    invalidate();
}

void WFileList::clearSelection() {
  for (Item& item : items_)
    item.selected = false;
  anchor_ = -1;
  invalidate();
  reportSelection(nullptr);
}

std::string WFileList::selectedNames() const {
  std::string names;
  for (const Item& item : items_) {
    if (!item.selected)
      continue;
    if (!names.empty())
      names += ";";
    names += item.name;
  }
  return names;
}

bool WFileList::onClick(wvw::Widget* source) {
  if (source != this)
    return WButton::onClick(source);
  Item* item = itemAt(lastPointer_);
  bool shift = isShiftDown(), control = isControlDown();
  if (doubleClickPending_) {
    doubleClickTimer_.stop();
    doubleClickPending_ = false;
    if (item && item->selected && !shift && !control) {
      reportActivated(item);
      return true;
    }
  }
  doubleClickTimer_.start(doubleClickMs);
  doubleClickPending_ = true;
  if (multipleSelection_ && shift && anchor_ >= 0) {
    AliveCheck alive(this);
    selectRange(item, this->item(anchor_));
    if (alive.gone())
      return true;
    // selectRange's callback may have refreshed the list.
    item = itemAt(lastPointer_);
  } else {
    if (multipleSelection_ && control) {
      if (item)
        item->selected = !item->selected;
    } else {
      for (Item& i : items_)
        i.selected = &i == item;
    }
    if (item && item->selected)
      anchor_ = indexOf(item);
  }
  invalidate();
  reportSelection(item);
  return true;
}

void WFileList::endTypeAhead() {
  typeAhead_.clear();
  typeAheadTimer_.stop();
}

bool WFileList::selectBeside(bool right) {
  Item* first = firstSelected();
  if (!first)
    return false;
  rfb::Point p(right ? first->rect.br.x + sideStep : first->rect.tl.x - sideStep, first->rect.tl.y);
  Item* beside = itemAt(p);
  if (!beside)
    return true;
  first->selected = false;
  beside->selected = true;
  anchor_ = indexOf(beside);
  if (reportSelection(beside))
    invalidate();
  return true;
}

bool WFileList::onKey(uint32_t keysym, bool down, wvw::Widget* source) {
  if (!down || source != this)
    return WButton::onKey(keysym, down, source);
  if (isPrintable(keysym)) {
    typeAhead_ += char(keysym);
    AliveCheck alive(this);
    Item* found = selectByName(typeAhead_.c_str(), true);
    if (alive.gone())
      return true;
    if (found)
      typeAheadTimer_.start(typeAheadMs);
    else
      endTypeAhead();
    return true;
  }
  endTypeAhead();
  switch (keysym) {
  case keys::Return: {
    // Return on a selected item activates it; with none it goes on to the
    // handlers (a dialog takes it as its default button), not to the
    // button, which would click the list where the pointer last was.
    if (Item* first = firstSelected()) {
      reportActivated(first);
      return true;
    }
    return WLayout::onKey(keysym, down, source);
  }
  case keys::Down:
    selectNext();
    return true;
  case keys::Up:
    selectPrevious();
    return true;
  case keys::Left:
  case keys::Right:
    if (selectBeside(keysym == keys::Right))
      return true;
    break;
  case keys::Home:
  case keys::End:
    if (!items_.empty()) {
      Item* target = keysym == keys::Home ? &items_.front() : &items_.back();
      selectOnly(target);
      if (reportSelection(target))
        invalidate();
    }
    return true;
  }
  return WButton::onKey(keysym, down, source);
}

bool WFileList::onFocusChange(bool reverse, wvw::Widget* source) {
  if (source == this)
    invalidate();
  return WButton::onFocusChange(reverse, source);
}

bool WFileList::timerCallback(plat::Timer* timer) {
  handleTimeout(timer);
  return false;
}

void WFileList::handleTimeout(plat::Timer* timer) {
  if (timer == &doubleClickTimer_)
    doubleClickPending_ = false;
  else if (timer == &typeAheadTimer_)
    typeAhead_.clear();
}

void WFileList::draw(rfb::WritablePixelBuffer* pb) {
  wvw::Style* s = getStyle();
  rfb::Rect all(0, 0, width_, height_);
  pb->fillRect(all, wvw::colourToPixel(s->fieldBackground, pb));
  drawBevel(pb, all, true, false);
  if (hasFocus())
    drawFocusRect(pb, wvw::growRect(all, -2));
  uint32_t text = wvw::colourToPixel(enabled_ ? s->textColour : s->disabledTextColour, pb);
  uint32_t selectedText = wvw::colourToPixel(s->selectedTextColour, pb);
  uint32_t selectedBackground = wvw::colourToPixel(s->selectedBackground, pb);
  rfb::Rect damage = pb->getRect();
  for (const Item& item : items_) {
    if (item.rect.intersect(damage).isEmpty())
      continue;
    if (item.selected)
      pb->fillRect(item.rect, selectedBackground);
    s->font->drawText(pb, displayName(item).c_str(), item.rect.tl,
                      item.selected ? selectedText : text);
  }
}
