#include "wvw/WListBox.h"

#include "wvw/Font.h"

#include "rfb/KeysymNames.h"

#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WListBox");

namespace wvw {

namespace {
namespace keys = rfb::keys;
const int barWidth = 16;
const int wheelRows = 3;
} // namespace

WListBox::ItemGetter::~ItemGetter() = default;

// Space between a row's text and the frame beside it.
const int rowTextMargin = 3;

WListBox::Item::Item() : label_(nullptr, 0) {
  label_.setMargin(rowTextMargin);
  label_.setWordWrap(false);
  setContent(&label_);
}

WListBox::Item::~Item() = default;

bool WListBox::Item::onSizeChange(Widget* source) {
  if (source == this)
    label_.setSize(width_, height_);
  return WButton::onSizeChange(source);
}

WListBox::WFocusFrame::WFocusFrame() : WFrame(true) {
}

WListBox::WFocusFrame::~WFocusFrame() = default;

bool WListBox::WFocusFrame::acceptsFocus() {
  return enabled_ && visible_;
}

bool WListBox::WFocusFrame::onFocusChange(bool reverse, Widget* source) {
  if (source == this)
    invalidate();
  return WFrame::onFocusChange(reverse, source);
}

void WListBox::WFocusFrame::draw(rfb::WritablePixelBuffer* pb) {
  WFrame::draw(pb);
  if (hasFocus())
    drawFocusRect(pb, growRect(rfb::Rect(0, 0, width_, height_), -2));
}

WListBox::WListBox()
    : itemGetter_(nullptr), count_(0), selected_(-1), normalStyle_(), selectedStyle_(),
      pressedStyle_() {
  addChild(&focusFrame_);
  addChild(&scrollBar_);
  styleChanged();
}

// The rows go before the frame that holds them.
WListBox::~WListBox() {
  rows_.clear();
}

void WListBox::styleChanged() {
  Style* s = getStyle();
  normalStyle_ = selectedStyle_ = pressedStyle_ = *s;
  normalStyle_.background = s->fieldBackground;
  selectedStyle_.background = s->selectedBackground;
  selectedStyle_.textColour = s->selectedTextColour;
  pressedStyle_.background = Orange;
  pressedStyle_.textColour = s->selectedTextColour;
  WLayout::styleChanged();
}

bool WListBox::onAttach(Widget* source) {
  if (source == this)
    styleChanged();
  return WLayout::onAttach(source);
}

void WListBox::setItemGetter(ItemGetter* getter) {
  itemGetter_ = getter;
  count_ = getter ? std::max(getter->getItemCount(this), 0) : 0;
  AliveCheck alive(this);
  setSelected(-1);
  if (!alive.gone())
    onSizeChange(this);
}

void WListBox::updateRowStyle(int i) {
  Item* row = rows_[size_t(i)].get();
  int index = getTopRow() + i;
  Style* s = &normalStyle_;
  if (index == selected_)
    s = &selectedStyle_;
  else if (row->isPressed())
    s = &pressedStyle_;
  row->getLabel()->setStyle(s);
}

void WListBox::setSelected(int index) {
  if (index < 0 || index >= count_)
    index = -1;
  if (index == selected_)
    return;
  int old = selected_;
  selected_ = index;
  int top = getTopRow(), vis = int(rows_.size());
  for (int i : {old, index})
    if (i >= top && i < top + vis)
      updateRowStyle(i - top);
  onChange(this);
}

void WListBox::setTopRow(int row) {
  AliveCheck alive(this);
  scrollBar_.setValue(row);
  if (!alive.gone())
    refill();
}

void WListBox::refreshItem(int index) {
  int top = getTopRow();
  if (!itemGetter_ || index < top || index >= top + int(rows_.size()) || index >= count_)
    return;
  // The getter's rows may have changed underneath without a new count.
  if (index >= itemGetter_->getItemCount(this))
    return;
  rows_[size_t(index - top)]->getLabel()->setText(itemGetter_->getItemText(this, index));
}

// Only rows the getter still has are asked for: a list whose rows went away
// underneath (without the getter being set again) shows them empty.
void WListBox::refill() {
  int top = getTopRow(), vis = int(rows_.size());
  int end = std::min(top + vis, count_);
  if (itemGetter_ && end > top)
    end = std::min(end, itemGetter_->getItemCount(this));
  for (int i = 0; i < vis; i++) {
    int index = top + i;
    const char* text = itemGetter_ && index < end ? itemGetter_->getItemText(this, index) : "";
    rows_[size_t(i)]->getLabel()->setText(text ? text : "");
    updateRowStyle(i);
  }
}

int WListBox::rowOf(Widget* w) const {
  for (size_t i = 0; i < rows_.size(); i++)
    if (rows_[i].get() == w)
      return int(i);
  return -1;
}

bool WListBox::onSizeChange(Widget* source) {
  if (source != this)
    return WLayout::onSizeChange(source);
  int w = width_, h = height_;
  setChildRect(&focusFrame_, rfb::Rect(0, 0, std::max(w - barWidth, 0), h));
  setChildRect(&scrollBar_, rfb::Rect(std::max(w - barWidth, 0), 0, w, h));
  // Signed, and never below none: a box lower than its frame has no rows.
  int rowHeight = std::max(int(getStyle()->font->height), 1);
  int visible = std::max((h - 6) / rowHeight, 0);
  scrollBar_.setPageSize(visible);
  scrollBar_.setRange(0, std::max(count_ - visible, 0));
  while (int(rows_.size()) > visible) {
    focusFrame_.removeChild(rows_.back().get());
    rows_.pop_back();
  }
  while (int(rows_.size()) < visible) {
    rows_.emplace_back(new Item());
    rows_.back()->getLabel()->setEnabled(enabled_);
    focusFrame_.addChild(rows_.back().get());
  }
  for (int i = 0; i < visible; i++)
    focusFrame_.setChildRect(rows_[size_t(i)].get(),
                             rfb::Rect(0, rowHeight * i, std::max(w - 22, 0), rowHeight * (i + 1)));
  if (visible > 0)
    focusFrame_.fit();
  AliveCheck alive(this);
  refill();
  if (alive.gone())
    return true;
  return WLayout::onSizeChange(source);
}

bool WListBox::onChange(Widget* source) {
  if (source == scrollBar_.getSlider()) {
    AliveCheck alive(this);
    refill();
    if (alive.gone())
      return true;
  } else if (int i = rowOf(source); i >= 0) {
    updateRowStyle(i);
    return true;
  }
  return WLayout::onChange(source);
}

bool WListBox::onButtonPress(int button, Widget* source) {
  if ((button == 3 || button == 4) && enabled_ && source != &scrollBar_ &&
      source != scrollBar_.getSlider()) {
    int top = getTopRow();
    int to = button == 3 ? top - wheelRows : top + wheelRows;
    setTopRow(std::min(count_ - int(rows_.size()), std::max(to, 0)));
    return true;
  }
  return WLayout::onButtonPress(button, source);
}

bool WListBox::onClick(Widget* source) {
  if (enabled_) {
    if (int i = rowOf(source); i >= 0) {
      AliveCheck alive(this);
      setSelected(getTopRow() + i);
      if (alive.gone())
        return true;
      focusFrame_.takeFocus();
      if (alive.gone())
        return true;
      WLayout::onClick(this);
      return true;
    }
  }
  return WLayout::onClick(source);
}

bool WListBox::onKey(uint32_t keysym, bool down, Widget* source) {
  if (source != &focusFrame_ || !down || keysym < keys::Home || keysym > keys::End)
    return WLayout::onKey(keysym, down, source);
  int sel = selected_, top = getTopRow(), vis = int(rows_.size()), rel = sel - top;
  int step = 0;
  switch (keysym) {
  case keys::Home:
    step = -sel;
    break;
  case keys::Up:
    step = -1;
    break;
  case keys::Down:
    step = 1;
    break;
  case keys::Page_Up:
    step = rel != 0 ? -rel : -vis;
    break;
  case keys::Page_Down:
    step = rel != vis - 1 ? vis - rel - 1 : vis;
    break;
  case keys::End:
    step = count_ - 1 - sel;
    break;
  default:
    return WLayout::onKey(keysym, down, source);
  }
  if (step == 0 && keysym != keys::Up && keysym != keys::Down)
    return WLayout::onKey(keysym, down, source);
  int index = count_ == 0 ? -1 : std::clamp(sel + step, 0, count_ - 1);
  AliveCheck alive(this);
  setSelected(index);
  if (alive.gone() || index < 0)
    return true;
  int r = index - top;
  if (r > vis - 1)
    setTopRow(top + r - vis + 1);
  else if (r < 0)
    setTopRow(index);
  return true;
}

bool WListBox::onEnabledChange(Widget* source) {
  if (source == this)
    for (auto& row : rows_)
      row->getLabel()->setEnabled(enabled_);
  return WLayout::onEnabledChange(source);
}

} // namespace wvw
