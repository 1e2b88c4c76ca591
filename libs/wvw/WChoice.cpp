#include "wvw/WChoice.h"

#include "rfb/KeysymNames.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <algorithm>
#include <cstring>

static plat::LogWriter vlog("WChoice");

namespace wvw {

namespace {
namespace keys = rfb::keys;
const int buttonWidth = 19;

const char* labelOf(WMenuItem* item) {
  const char* t = item->getLabel()->getText();
  return t ? t : "";
}
} // namespace

WChoice::WChoice(WLayout* popupLayout, bool selectAllOnChoose, bool caseSensitive,
                 uint32_t maxLength)
    : popupLayout_(popupLayout), caseSensitive_(caseSensitive), text_(maxLength),
      menu_(popupLayout), button_(&menu_), selectAllOnChoose_(selectAllOnChoose) {
  int w, h;
  text_.getPreferredSize(&w, &h);
  addChildSized(&text_, rfb::Rect(0, 0, w, h));
  addChildSized(&button_, rfb::Rect(0, 0, buttonWidth, h));
  menu_.setInputHandler(this);
  menu_.setOpener(&button_);
}

// The items go first, while the menu they are in still stands.
WChoice::~WChoice() {
  menu_.setOpener(nullptr);
  items_.clear();
}

WMenuItem* WChoice::getItem(int32_t id) {
  auto i = items_.find(id);
  return i == items_.end() ? nullptr : i->second.get();
}

void WChoice::addItem(int32_t id, const char* label) {
  removeItem(id);
  std::unique_ptr<WMenuItem> item(new WMenuItem(nullptr, label, false));
  auto next = items_.upper_bound(id);
  menu_.insertItem(item.get(), next == items_.end() ? nullptr : next->second.get());
  items_[id] = std::move(item);
}

void WChoice::removeItem(int32_t id) {
  auto i = items_.find(id);
  if (i == items_.end())
    return;
  menu_.removeItem(i->second.get());
  items_.erase(i);
}

const char* WChoice::getText() {
  return text_.getText();
}

void WChoice::setText(const char* text) {
  if (text && strcmp(text, text_.getText()) == 0)
    return;
  AliveCheck alive(this);
  text_.setText(text ? text : "");
  if (!alive.gone())
    onChange(this);
}

int32_t WChoice::getSelectedId() {
  const char* t = text_.getText();
  for (auto& i : items_)
    if (strcmp(labelOf(i.second.get()), t) == 0)
      return i.first;
  return -1;
}

void WChoice::setSelectedId(int32_t id) {
  WMenuItem* item = getItem(id);
  setText(item ? labelOf(item) : "");
}

void WChoice::setSelectedText(const char* text, int32_t fallbackId) {
  for (auto& i : items_)
    if (text && strcmp(labelOf(i.second.get()), text) == 0) {
      setText(text);
      return;
    }
  setSelectedId(fallbackId);
}

int32_t WChoice::stepSelection(bool forward) {
  if (items_.empty())
    return -1;
  const char* t = text_.getText();
  auto match = std::find_if(items_.begin(), items_.end(),
                            [t](auto& i) { return strcmp(labelOf(i.second.get()), t) == 0; });
  auto to = items_.begin();
  if (forward) {
    if (match != items_.end() && std::next(match) != items_.end())
      to = std::next(match);
  } else {
    to = std::prev(items_.end());
    if (match != items_.end() && match != items_.begin())
      to = std::prev(match);
  }
  int32_t id = to->first;
  setSelectedId(id);
  return id;
}

void WChoice::setCompletion(bool on) {
  std::vector<std::string> words;
  if (on)
    for (auto& i : items_)
      words.push_back(labelOf(i.second.get()));
  text_.setCompletions(words, caseSensitive_);
}

void WChoice::getPreferredSize(int* width, int* height) {
  int widest = 0;
  for (auto& i : items_) {
    int w, h;
    i.second->getPreferredSize(&w, &h);
    widest = std::max(widest, w);
  }
  *width = (items_.empty() ? 0 : widest + 8) + button_.width();
  *height = button_.height();
}

void WChoice::setEnabled(bool enabled) {
  AliveCheck alive(this);
  text_.setEnabled(enabled);
  if (!alive.gone())
    button_.setEnabled(enabled);
  if (!alive.gone())
    WLayout::setEnabled(enabled);
}

bool WChoice::onSizeChange(Widget* source) {
  if (source != this)
    return WLayout::onSizeChange(source);
  int bw = button_.width();
  setChildRect(&text_, rfb::Rect(0, 0, width_ - bw, text_.height()));
  moveChild(&button_, rfb::Point(width_ - bw, 0));
  menu_.setMinWidth(width_ - 7);
  return true;
}

void WChoice::selectAll() {
  if (selectAllOnChoose_)
    text_.setSelection(0, -1);
}

void WChoice::choose(WMenuItem* item) {
  AliveCheck alive(this);
  setText(labelOf(item));
  if (alive.gone())
    return;
  selectAll();
  menu_.popdown();
  if (!alive.gone())
    Widget::onClick(&text_);
}

bool WChoice::onClick(Widget* source) {
  if (source == &button_) {
    if (items_.empty())
      return true;
    rfb::Point at;
    if (getContainer() == popupLayout_) {
      at = popupLayout_->getChildPosition(this);
    } else {
      try {
        at = mapPointTo(rfb::Point(0, 0), popupLayout_);
      } catch (plat::Exception& e) {
        vlog.error("Cannot open the choice's menu: %s", e.str());
        return true;
      }
    }
    menu_.popup(at);
    return true;
  }
  for (auto& i : items_)
    if (source == i.second.get()) {
      choose(i.second.get());
      return true;
    }
  return WLayout::onClick(source);
}

bool WChoice::onKey(uint32_t keysym, bool down, Widget* source) {
  if (down && source == &text_ && (keysym == keys::Up || keysym == keys::Down)) {
    AliveCheck alive(this);
    stepSelection(keysym == keys::Down);
    if (!alive.gone())
      selectAll();
    return true;
  }
  if (down && source == &button_ && menu_.isVisible()) {
    menu_.onOpenerKey(keysym, isShiftDown(), nullptr, [this](WMenuItem* item) { choose(item); });
    return true;
  }
  return WLayout::onKey(keysym, down, source);
}

} // namespace wvw
