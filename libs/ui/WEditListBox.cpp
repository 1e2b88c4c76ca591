#include "ui/WEditListBox.h"

#include "rfb/KeysymNames.h"

#include "plat/LogWriter.h"

#include <algorithm>
#include <cstring>

namespace ui {

static plat::LogWriter vlog("WEditListBox");

namespace {
namespace keys = rfb::keys;
const int scrollBarWidth = 16;
} // namespace

WEditListBox::WEditListBox(Callback* callback)
    : callback_(callback), selected_(-1), renameTarget_(-1), firstShown_(0), lastShown_(0),
      edit_(255), adding_(false), renaming_(false), itemStyle_(*getStyle()),
      selectedStyle_(*getStyle()), itemHeight_(0), contentHeight_(0), margin_(2) {
  wvw::Style* base = getStyle();
  itemStyle_.textColour = Black;
  itemStyle_.fieldBackground = White;
  itemStyle_.background = White;
  itemStyle_.bevelHighlight = White;
  itemStyle_.bevelShadow = White;
  itemStyle_.focusColour = base->bevelShadow;
  selectedStyle_ = itemStyle_;
  selectedStyle_.background = base->selectedBackground;
  selectedStyle_.textColour = base->selectedTextColour;
  edit_.setText(" ");
  int w;
  edit_.getPreferredSize(&w, &itemHeight_);
  edit_.setText("");
  edit_.setVisible(false);
  scrollBar_.setStep(itemHeight_);
  emptyButton_.setStyle(&itemStyle_);
  addChild(&scrollBar_);
  addChild(&emptyButton_);
  addChild(&edit_);
}

WEditListBox::~WEditListBox() {
  for (auto& i : items_)
    removeChild(i.get());
  items_.clear();
  removeChild(&edit_);
  removeChild(&emptyButton_);
  removeChild(&scrollBar_);
}

int WEditListBox::itemIndex(wvw::Widget* w) {
  for (size_t i = 0; i < items_.size(); i++)
    if (items_[i]->isPart(w))
      return int(i);
  return -1;
}

bool WEditListBox::addItem(const char* text) {
  for (auto& i : items_)
    if (strcmp(i->getText(), text) == 0)
      return false;
  auto item = std::make_unique<WLabelItem>(text, true);
  item->setSize(std::max(0, width_ - 2 * margin_), itemHeight_);
  item->setStyle(&itemStyle_);
  addChild(item.get());
  items_.push_back(std::move(item));
  selected_ = int(items_.size()) - 1;
  // The content grows with every item, so that a list filled by its owner
  // scrolls before the user ever edits it.
  contentHeight_ = int(items_.size()) * itemHeight_ + (adding_ ? itemHeight_ : 0);
  restyle();
  layoutItems();
  invalidate();
  return true;
}

void WEditListBox::removeAt(int index) {
  removeChild(items_[size_t(index)].get());
  items_.erase(items_.begin() + index);
  selected_ = -1;
  if (renameTarget_ == index)
    renameTarget_ = -1;
  else if (renameTarget_ > index)
    renameTarget_--;
  contentHeight_ = int(items_.size()) * itemHeight_;
  layoutItems();
  invalidate();
}

void WEditListBox::removeItem(const char* text) {
  for (size_t i = 0; i < items_.size(); i++)
    if (strcmp(items_[i]->getText(), text) == 0) {
      selected_ = int(i);
      removeAt(int(i));
      return;
    }
}

plat::String WEditListBox::removeSelected() {
  if (selected_ < 0)
    return plat::String();
  plat::String text(items_[size_t(selected_)]->getText());
  removeAt(selected_);
  adding_ = false;
  renaming_ = false;
  if (callback_)
    callback_->selectionCleared(this);
  return text;
}

bool WEditListBox::isUnique(const char* text) {
  if (renameTarget_ >= 0 && strcmp(items_[size_t(renameTarget_)]->getText(), text) == 0)
    return false;
  for (auto& i : items_)
    if (strcmp(i->getText(), text) == 0)
      return false;
  return true;
}

void WEditListBox::finishRename() {
  if (!renaming_ || renameTarget_ < 0)
    return;
  renaming_ = false;
  std::string text = edit_.getText();
  int target = renameTarget_;
  renameTarget_ = -1;
  if (!text.empty() && isUnique(text.c_str())) {
    std::string old = items_[size_t(target)]->getText();
    if (callback_)
      callback_->itemRenamed(old.c_str(), text.c_str(), this);
    items_[size_t(target)]->setText(text.c_str());
  }
}

void WEditListBox::endEdit(bool accept) {
  std::string text = edit_.getText();
  if (!adding_) {
    finishRename();
  } else if (accept) {
    adding_ = false;
    if (!text.empty()) {
      if (!addItem(text.c_str())) {
        selected_ = -1;
        if (callback_)
          callback_->selectionCleared(this);
      } else if (callback_) {
        callback_->itemAdded(text.c_str(), this);
      }
    }
  }
  edit_.setVisible(false);
  contentHeight_ = int(items_.size()) * itemHeight_;
  layoutItems();
  restyle();
  invalidate();
}

void WEditListBox::beginAdd() {
  std::string text = edit_.getText();
  if (adding_) {
    if (!text.empty() && addItem(text.c_str()) && callback_)
      callback_->itemAdded(text.c_str(), this);
    if (callback_)
      callback_->selectionCleared(this);
  } else {
    finishRename();
    adding_ = true;
  }
  edit_.setText("");
  selected_ = -1;
  restyle();
  contentHeight_ = itemHeight_ + int(items_.size()) * itemHeight_;
  layoutItems();
  scrollBar_.setValue(scrollBar_.getSlider()->getMaximum());
  layoutItems();
  invalidate();
  edit_.takeFocus();
}

void WEditListBox::restyle() {
  for (size_t i = 0; i < items_.size(); i++)
    items_[i]->setLabelStyle(int(i) == selected_ ? &selectedStyle_ : &itemStyle_);
}

void WEditListBox::layoutItems() {
  int m = margin_;
  bool scrolling = height_ - 2 * m < contentHeight_;
  int contentWidth = scrolling ? width_ - scrollBarWidth : width_;
  int itemWidth = std::max(0, contentWidth - 2 * m);
  int y = m;
  int n = int(items_.size());
  if (scrolling) {
    int e = adding_ ? edit_.height() : 0;
    scrollBar_.setRange(0, std::max(0, contentHeight_ - height_ + 2 * m + e));
    setChildRect(&scrollBar_, rfb::Rect(width_ - scrollBarWidth, m, width_ - m, height_ - m));
    scrollBar_.setPageSize(height_ - 2 * m);
    int value = scrollBar_.getValue();
    int count = itemHeight_ > 0 ? std::min(n, (height_ - 2 * m) / itemHeight_) : n;
    firstShown_ = itemHeight_ > 0 ? std::min(n, value / itemHeight_) : 0;
    lastShown_ = std::min(n, firstShown_ + count + 1);
    int excess = (count + 1) * itemHeight_ - (height_ - m);
    if (value >= contentHeight_ - height_ + 2 * m && excess > 0)
      y -= excess;
  } else {
    firstShown_ = 0;
    lastShown_ = n;
  }
  scrollBar_.setVisible(scrolling);
  edit_.setVisible(false);
  for (auto& i : items_)
    i->setVisible(false);
  int renameY = y;
  for (int i = firstShown_; i < lastShown_; i++) {
    if (renaming_ && i == renameTarget_) {
      renameY = y;
      y += itemHeight_;
      continue;
    }
    setChildRect(items_[size_t(i)].get(), rfb::Rect(m, y, m + itemWidth, y + itemHeight_));
    items_[size_t(i)]->setVisible(true);
    y += itemHeight_;
  }
  if (adding_) {
    setChildRect(&edit_, rfb::Rect(m, y, m + itemWidth, y + itemHeight_));
    edit_.setVisible(true);
    y += edit_.height();
  } else if (renaming_ && renameTarget_ >= 0) {
    setChildRect(&edit_, rfb::Rect(m, renameY, m + itemWidth, renameY + itemHeight_));
    edit_.setVisible(true);
  }
  emptyArea_ = rfb::Rect(m, y, contentWidth - m, std::max(height_ - m, y + itemHeight_));
  setChildRect(&emptyButton_, emptyArea_);
}

void WEditListBox::draw(rfb::WritablePixelBuffer* pb) {
  pb->fillRect(emptyArea_, wvw::colourToPixel(White, pb));
  WLayout::draw(pb);
  drawBevel(pb, rfb::Rect(0, 0, width_, height_), true, false);
}

void WEditListBox::settleBeforePress() {
  if (adding_ || renaming_)
    endEdit(true);
  else
    layoutItems();
}

bool WEditListBox::onButtonPress(int button, wvw::Widget* source) {
  AliveCheck alive(this);
  bool handled = false;
  if (source == scrollBar_.getSlider() || source == &emptyButton_) {
    settleBeforePress();
    if (alive.gone())
      return true;
    selected_ = -1;
    if (callback_)
      callback_->selectionCleared(this);
    handled = true;
  } else if (button == 0) {
    int index = itemIndex(source);
    if (index >= 0) {
      std::string text = items_[size_t(index)]->getText();
      bool wasSelected = index == selected_;
      if (callback_)
        callback_->itemSelected(text.c_str(), this);
      if (alive.gone())
        return true;
      settleBeforePress();
      if (alive.gone())
        return true;
      // The item may have moved or gone while the edit ended.
      index = -1;
      for (size_t i = 0; i < items_.size(); i++)
        if (text == items_[i]->getText())
          index = int(i);
      if (index >= 0 && wasSelected) {
        renameTarget_ = index;
        renaming_ = true;
        edit_.setText(text.c_str());
        edit_.setSelection(0, int(text.size()));
        layoutItems();
        invalidate();
        edit_.takeFocus();
        if (alive.gone())
          return true;
      } else if (index >= 0) {
        selected_ = index;
      }
      handled = true;
    }
  }
  if (handled) {
    restyle();
    invalidate();
  }
  return WLayout::onButtonPress(button, source);
}

bool WEditListBox::onKey(uint32_t keysym, bool down, wvw::Widget* source) {
  if (keysym == keys::Return && !down && source == &edit_) {
    AliveCheck alive(this);
    endEdit(true);
    if (selected_ >= 0 && callback_) {
      std::string text = items_[size_t(selected_)]->getText();
      callback_->itemSelected(text.c_str(), this);
      if (alive.gone())
        return false;
    }
    restyle();
    invalidate();
  }
  return false;
}

bool WEditListBox::onChange(wvw::Widget* source) {
  if (source == scrollBar_.getSlider()) {
    layoutItems();
    invalidate();
  }
  return WLayout::onChange(source);
}

bool WEditListBox::onSizeChange(wvw::Widget* source) {
  if (source == this)
    layoutItems();
  return WLayout::onSizeChange(source);
}

} // namespace ui
