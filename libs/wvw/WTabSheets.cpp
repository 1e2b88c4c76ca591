#include "wvw/WTabSheets.h"

#include "rfb/KeysymNames.h"

#include "plat/Assert.h"
#include "plat/LogWriter.h"

#include <algorithm>

static plat::LogWriter vlog("WTabSheets");

namespace wvw {

namespace {
namespace keys = rfb::keys;
const int scrollStep = 25;
} // namespace

WTabSheets::Callback::~Callback() = default;

WTabSheets::WTabSheets()
    : current_(-1), tabOffset_(0), scrollButtonsShown_(false), scrollLeft_(WArrow::Left),
      scrollRight_(WArrow::Right) {
  scrollLeft_.setSize(0, 0);
  scrollRight_.setSize(0, 0);
  addChild(&tabRow_);
  layoutTabs();
}

// Sheets and tabs go while the layouts that hold them still stand.
WTabSheets::~WTabSheets() {
  callbacks_.clear();
  if (current_ >= 0)
    removeChild(sheets_[size_t(current_)].get());
  sheets_.clear();
  tabs_.clear();
}

int WTabSheets::rowWidth() {
  return tabs_.empty() ? 0 : tabRow_.getChildRect(tabs_.back().get()).br.x;
}

int WTabSheets::visibleRowEnd() const {
  return scrollButtonsShown_ ? width_ - 2 * scrollLeft_.width() : width_;
}

int WTabSheets::addSheet(const char* tabText, Widget* content, int index) {
  std::unique_ptr<WTab> tab(new WTab(tabText));
  int w, h;
  tab->getPreferredSize(&w, &h);
  tab->setSize(w + 6, h + 4);
  if (scrollLeft_.height() == 0) {
    // trunc(0.85 h) without floating point.
    int bw = int(int64_t(h) * 85 / 100);
    scrollLeft_.setSize(bw, h);
    scrollRight_.setSize(bw, h);
  }
  std::unique_ptr<WSheet> sheet(new WSheet(content));
  WTab* t = tab.get();
  WSheet* s = sheet.get();
  if (index < 0 || index >= int(sheets_.size())) {
    tabRow_.addChildAt(t, rfb::Point(rowWidth(), 0));
    tabs_.push_back(std::move(tab));
    sheets_.push_back(std::move(sheet));
    index = int(sheets_.size()) - 1;
  } else {
    tabRow_.addChild(t, tabs_[size_t(index)].get());
    tabs_.insert(tabs_.begin() + index, std::move(tab));
    sheets_.insert(sheets_.begin() + index, std::move(sheet));
    if (current_ >= index)
      current_++;
    int x = 0;
    for (auto& each : tabs_) {
      tabRow_.moveChild(each.get(), rfb::Point(x, 0));
      x += each->width();
    }
  }
  s->setTabRect(tabRow_.getChildRect(t));
  layoutTabs();
  return index;
}

void WTabSheets::removeSheet(int index) {
  PLAT_ASSERT(index >= 0);
  PLAT_ASSERT(index < (int)sheets_.size());
  if (index == current_) {
    current_ = -1;
    removeChild(sheets_[size_t(index)].get());
  }
  sheets_.erase(sheets_.begin() + index);
  tabRow_.removeChild(tabs_[size_t(index)].get());
  tabs_.erase(tabs_.begin() + index);
  if (current_ > index)
    current_--;
  layoutTabs();
  invalidate();
}

WSheet* WTabSheets::getSheet(int index) {
  PLAT_ASSERT(index >= 0);
  PLAT_ASSERT(index < (int)sheets_.size());
  return sheets_[size_t(index)].get();
}

WTab* WTabSheets::getTab(int index) {
  PLAT_ASSERT(index >= 0);
  PLAT_ASSERT(index < (int)tabs_.size());
  return tabs_[size_t(index)].get();
}

void WTabSheets::setCurrent(int index) {
  PLAT_ASSERT(index < (int)sheets_.size());
  if (index < 0)
    index = -1;
  AliveCheck alive(this);
  for (Callback* c : std::vector<Callback*>(callbacks_))
    if (!c->sheetChanging(current_, index) || alive.gone())
      return;
  if (current_ >= 0)
    removeChild(sheets_[size_t(current_)].get());
  if (alive.gone())
    return;
  if (index >= 0) {
    WTab* tab = tabs_[size_t(index)].get();
    addChildAt(sheets_[size_t(index)].get(), rfb::Point(0, tabRowHeight() - 1));
    if (alive.gone())
      return;
    tab->takeFocus();
    if (alive.gone())
      return;
    rfb::Rect r = tabRow_.getChildRect(tab);
    int l = r.tl.x + tabOffset_, right = r.br.x + tabOffset_, v = visibleRowEnd();
    if (l < 0)
      tabOffset_ += std::min(10 - l, v - right);
    else if (right > v)
      tabOffset_ += std::max(-l, v - right - 10);
  }
  current_ = index;
  layoutTabs();
  invalidate();
}

rfb::Point WTabSheets::getContentPosition() {
  if (current_ < 0)
    return rfb::Point(0, 0);
  WSheet* s = sheets_[size_t(current_)].get();
  rfb::Point p = getChildPosition(s);
  if (s->getContent())
    p = p.translate(s->getChildPosition(s->getContent()));
  return p;
}

void WTabSheets::addCallback(Callback* callback) {
  callbacks_.push_back(callback);
}

void WTabSheets::removeCallback(Callback* callback) {
  auto i = std::find(callbacks_.begin(), callbacks_.end(), callback);
  if (i != callbacks_.end())
    callbacks_.erase(i);
}

void WTabSheets::layoutTabs() {
  int w = width_, p = rowWidth(), b = scrollLeft_.width(), th = tabRowHeight();
  bool show = w < p;
  if (show != scrollButtonsShown_) {
    scrollButtonsShown_ = show;
    if (show) {
      addChildAt(&scrollLeft_, rfb::Point(w - 2 * b, 2));
      addChildAt(&scrollRight_, rfb::Point(w - b, 2));
    } else {
      removeChild(&scrollLeft_);
      removeChild(&scrollRight_);
    }
  } else if (show) {
    moveChild(&scrollLeft_, rfb::Point(w - 2 * b, 2));
    moveChild(&scrollRight_, rfb::Point(w - b, 2));
  }
  int x2 = show ? w - 2 * b : w;
  int minOffset = x2 - p < 1 ? x2 - p : 0;
  tabOffset_ = std::min(std::max(tabOffset_, minOffset), 0);
  scrollRight_.setEnabled(tabOffset_ > minOffset);
  scrollLeft_.setEnabled(tabOffset_ < 0);
  setChildRect(&tabRow_, rfb::Rect(tabOffset_, 0, x2, th));
  for (auto& s : sheets_)
    s->setTabOffset(tabOffset_);
  if (current_ >= 0)
    sheets_[size_t(current_)]->setSize(w, std::max(height_ - th, 0));
  int x = 0;
  for (size_t i = 0; i < tabs_.size(); i++) {
    WTab* tab = tabs_[i].get();
    bool selected = int(i) == current_;
    tab->setSelected(selected);
    tabRow_.moveChild(tab, rfb::Point(x, selected ? 0 : 2));
    sheets_[i]->setTabRect(tabRow_.getChildRect(tab));
    x += tab->width();
  }
}

bool WTabSheets::onSizeChange(Widget* source) {
  if (source == this)
    layoutTabs();
  return true;
}

void WTabSheets::getPreferredSize(int* width, int* height) {
  int mw = 0, mh = 0;
  for (auto& s : sheets_) {
    int w, h;
    s->getPreferredSize(&w, &h);
    mw = std::max(mw, w);
    mh = std::max(mh, h);
  }
  *width = mw;
  *height = mh + tabRowHeight();
}

bool WTabSheets::onClick(Widget* source) {
  if (source == &scrollLeft_ || source == &scrollRight_) {
    tabOffset_ += source == &scrollLeft_ ? scrollStep : -scrollStep;
    tabRow_.invalidate();
    layoutTabs();
    invalidate();
    return true;
  }
  for (size_t i = 0; i < tabs_.size(); i++)
    if (source == tabs_[i].get()) {
      setCurrent(int(i));
      return true;
    }
  return false;
}

bool WTabSheets::onKey(uint32_t keysym, bool down, Widget* source) {
  if (keysym == keys::Tab && down && isControlDown()) {
    int n = int(sheets_.size());
    if (n > 0) {
      int next;
      if (isShiftDown())
        next = current_ <= 0 ? n - 1 : current_ - 1;
      else
        next = current_ + 1 >= n ? 0 : current_ + 1;
      setCurrent(next);
    }
    return true;
  }
  (void)source;
  return false;
}

} // namespace wvw
