#include "ui/WAdvancedListBox.h"

#include "rfb/KeysymNames.h"

#include "plat/BoolParameter.h"
#include "plat/EnumParameter.h"
#include "plat/LogWriter.h"

#include "wvw/Style.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>

namespace ui {

static plat::LogWriter vlog("WAdvancedLB");

namespace {
namespace keys = rfb::keys;
const int scrollBarWidth = 16;
} // namespace

WAdvancedListBox::WAdvancedListBox(plat::ParameterSet* set)
    : set_(set), firstShown_(0), lastShown_(0), edited_(nullptr), header_("Name", "Value"),
      choice_(this), text_(255, " "), rowHeight_(0), shownCount_(0), dividerX_(0),
      contentHeight_(0), firstY_(0) {
  std::vector<plat::ConfigParameter*> kept;
  for (plat::ParameterSet* s = set_; s; s = s->getNext())
    for (plat::ConfigParameter* p = s->getFirst(); p; p = p->getNext())
      if (!p->isBinary() && p->getName()[0] != '_')
        kept.push_back(p);
  std::stable_sort(kept.begin(), kept.end(),
                   [](plat::ConfigParameter* a, plat::ConfigParameter* b) {
                     return strcasecmp(a->getName(), b->getName()) < 0;
                   });
  for (plat::ConfigParameter* p : kept) {
    auto pair = std::make_unique<NameValuePair>(p, valueText(p).c_str());
    addChild(&pair->name);
    addChild(&pair->value);
    rows_.push_back(std::move(pair));
  }
  addChild(&header_);
  addChild(&scrollBar_);
  int nameWidth = 0;
  for (auto& r : rows_) {
    int w, h;
    r->name.getFullLabel()->getPreferredSize(&w, &h);
    nameWidth = std::max(nameWidth, w);
  }
  for (auto& r : rows_) {
    const char* description = r->param->getDescription();
    if (description && *description)
      setTooltip(&r->name, description, 320);
  }
  int w, th, ch;
  text_.getPreferredSize(&w, &th);
  choice_.getPreferredSize(&w, &ch);
  rowHeight_ = std::max(th, ch);
  choice_.setVisible(false);
  text_.setVisible(false);
  addChild(&choice_);
  addChild(&text_);
  scrollBar_.setStep(rowHeight_);
  header_.setDividerPosition(nameWidth - header_.getDividerRect().width() / 2);
  contentHeight_ = (int(rows_.size()) + 1) * rowHeight_;
  lastShown_ = rows_.size();
}

WAdvancedListBox::~WAdvancedListBox() {
  hideTooltip();
  removeChild(&text_);
  removeChild(&choice_);
  removeChild(&scrollBar_);
  removeChild(&header_);
  for (auto& r : rows_) {
    removeChild(&r->value);
    removeChild(&r->name);
  }
}

std::string WAdvancedListBox::valueText(plat::ConfigParameter* p) {
  if (p->isBool())
    return p->getValueInt() != 0 ? "True" : "False";
  return p->getValueStr().c_str();
}

WAdvancedListBox::NameValuePair* WAdvancedListBox::rowOf(wvw::Widget* w) {
  for (auto& r : rows_)
    if (r->name.isPart(w) || r->value.isPart(w))
      return r.get();
  return nullptr;
}

int WAdvancedListBox::contentWidth(bool scrolling) {
  return scrolling ? width_ - scrollBarWidth : width_;
}

void WAdvancedListBox::findShownRows(bool scrolling) {
  int H = header_.height();
  firstY_ = H;
  if (!scrolling || rowHeight_ <= 0) {
    firstShown_ = 0;
    lastShown_ = rows_.size();
    shownCount_ = int(rows_.size());
    return;
  }
  int value = scrollBar_.getValue();
  size_t first = size_t(std::max(0, value / rowHeight_));
  int fit = (height_ - H) / rowHeight_;
  shownCount_ = std::min(int(rows_.size()), fit);
  firstShown_ = std::min(first, rows_.size());
  // One partly visible row more than fit.
  lastShown_ = std::min(rows_.size(), firstShown_ + size_t(shownCount_) + 1);
  int max = scrollBar_.getSlider()->getMaximum();
  int excess = (shownCount_ + 1) * rowHeight_ - (height_ - H);
  if (value >= max && excess > 0)
    firstY_ -= excess;
}

void WAdvancedListBox::layoutRows() {
  int hw, H;
  header_.getPreferredSize(&hw, &H);
  setChildRect(&header_, rfb::Rect(0, 0, width_, H));
  bool scrolling = height_ <= contentHeight_;
  scrollBar_.setVisible(scrolling);
  scrollBar_.setRange(0, std::max(0, contentHeight_ - (height_ - H)));
  if (scrolling) {
    setChildRect(&scrollBar_, rfb::Rect(width_ - scrollBarWidth, H, width_, height_));
    scrollBar_.setPageSize(height_ - H);
  }
  findShownRows(scrolling);
  rfb::Rect d = header_.getDividerRect();
  dividerX_ = (d.tl.x + d.br.x) / 2;
  int cw = contentWidth(scrolling);
  int valueWidth = cw - dividerX_;
  text_.setVisible(false);
  choice_.setVisible(false);
  for (auto& r : rows_) {
    r->name.setVisible(false);
    r->value.setVisible(false);
  }
  int y = firstY_;
  for (size_t i = firstShown_; i < lastShown_; i++) {
    NameValuePair* r = rows_[i].get();
    setChildRect(&r->name, rfb::Rect(0, y, dividerX_, y + rowHeight_));
    rfb::Rect vr(r->name.width(), y, r->name.width() + valueWidth, y + rowHeight_);
    setChildRect(&r->value, vr);
    if (text_.editedCell == &r->value) {
      setChildRect(&text_, vr);
      text_.setVisible(true);
    }
    if (choice_.editedCell == &r->value) {
      setChildRect(&choice_, vr);
      choice_.setVisible(true);
    }
    r->name.setVisible(true);
    r->value.setVisible(true);
    y += rowHeight_;
  }
  emptyArea_ = rfb::Rect(0, y, cw, height_);
}

void WAdvancedListBox::draw(rfb::WritablePixelBuffer* pb) {
  wvw::Style* style = getStyle();
  pb->fillRect(emptyArea_, wvw::colourToPixel(White, pb));
  TooltipLayout::draw(pb);
  uint32_t dark = wvw::colourToPixel(style->bevelShadow, pb);
  int H = header_.height();
  pb->fillRect(rfb::Rect(dividerX_, H, dividerX_ + 1, height_), dark);
  pb->fillRect(rfb::Rect(0, H, 1, height_), dark);
  pb->fillRect(rfb::Rect(width_ - 1, H, width_, height_), dark);
  pb->fillRect(rfb::Rect(0, height_ - 1, width_, height_), dark);
}

void WAdvancedListBox::setEditValue(const char* text) {
  if (!text)
    return;
  if (editValue_ && *editValue_ == text)
    return;
  editValue_ = std::make_unique<std::string>(text);
}

void WAdvancedListBox::openEditor(NameValuePair* row) {
  applyEdit();
  text_.setVisible(false);
  choice_.setVisible(false);
  text_.editedCell = nullptr;
  choice_.editedCell = nullptr;
  invalidate();
  edited_ = row;
  plat::ConfigParameter* p = row->param;
  bool isBool = p->isBool(), isEnum = p->isEnum();
  if (isBool || isEnum)
    for (int32_t id = 0; choice_.getItem(id); id++)
      choice_.removeItem(id);
  editValue_ = std::make_unique<std::string>(p->getValueStr().c_str());
  AliveCheck alive(this);
  if (!isBool && !isEnum) {
    text_.setText(editValue_->c_str());
    text_.editedCell = &row->value;
    layoutRows();
    invalidate();
    text_.setSelection(0, int(strlen(text_.getText())));
    text_.takeFocus();
    return;
  }
  if (isBool) {
    choice_.addItem(0, "True");
    choice_.addItem(1, "False");
    choice_.setSelectedId(*editValue_ == "0" ? 1 : 0);
  } else {
    const char* const* options = static_cast<plat::EnumParameter*>(p)->getOptions();
    for (int32_t i = 0; options && options[i]; i++)
      choice_.addItem(i, options[i]);
    choice_.setText(editValue_->c_str());
  }
  if (alive.gone())
    return;
  choice_.editedCell = &row->value;
  choice_.takeFocus();
  if (alive.gone())
    return;
  layoutRows();
  invalidate();
}

void WAdvancedListBox::applyEdit() {
  if (!edited_ || !editValue_)
    return;
  plat::ConfigParameter* p = edited_->param;
  if (*editValue_ == p->getValueStr().c_str())
    return;
  p->setParam(editValue_->c_str(), 50);
  if (p->isBool() || p->isEnum())
    edited_->value.setText(editValue_->c_str());
  else
    edited_->value.setText(p->getValueStr().c_str());
}

void WAdvancedListBox::closeEditor() {
  text_.setVisible(false);
  choice_.setVisible(false);
  text_.editedCell = nullptr;
  choice_.editedCell = nullptr;
  edited_ = nullptr;
  editValue_.reset();
  invalidate();
}

bool WAdvancedListBox::setSlider(int value) {
  int before = scrollBar_.getValue();
  scrollBar_.setValue(value);
  return scrollBar_.getValue() != before;
}

bool WAdvancedListBox::onButtonPress(int button, wvw::Widget* source) {
  if (source == scrollBar_.getSlider())
    closeEditor();
  return TooltipLayout::onButtonPress(button, source);
}

bool WAdvancedListBox::onButtonRelease(int button, wvw::Widget* source) {
  AliveCheck alive(this);
  NameValuePair* r = rowOf(source);
  if (button == 0 && r) {
    if (edited_ && strcmp(edited_->param->getName(), r->param->getName()) == 0) {
      applyEdit();
      closeEditor();
    } else {
      openEditor(r);
      if (alive.gone())
        return true;
      rfb::Rect nr = getChildRect(&r->name);
      if (nr.br.y > height_) {
        setSlider(scrollBar_.getValue() + rowHeight_);
        layoutRows();
        invalidate();
      }
    }
  } else if (button == 3 || button == 4) {
    closeEditor();
    scrollBar_.onClick(button == 3 ? static_cast<wvw::Widget*>(scrollBar_.getDecButton())
                                   : static_cast<wvw::Widget*>(scrollBar_.getIncButton()));
    if (alive.gone())
      return true;
  }
  return TooltipLayout::onButtonRelease(button, source);
}

bool WAdvancedListBox::onKey(uint32_t keysym, bool down, wvw::Widget* source) {
  bool editing = text_.isVisible() || choice_.isVisible();
  if (editing) {
    if (down && keysym == keys::Escape) {
      closeEditor();
      return true;
    }
    return TooltipLayout::onKey(keysym, down, source);
  }
  if (keysym < 0x80 && isalnum(int(keysym))) {
    if (!scrollBar_.isVisible())
      return true;
    if (down) {
      int c = toupper(int(keysym));
      for (size_t i = 0; i < rows_.size(); i++)
        if (toupper((unsigned char)rows_[i]->param->getName()[0]) == c) {
          setSlider(rowHeight_ * int(i));
          layoutRows();
          invalidate();
          return true;
        }
    } else {
      for (auto& r : rows_)
        if (toupper((unsigned char)r->param->getName()[0]) == toupper(int(keysym)))
          return true;
    }
    return TooltipLayout::onKey(keysym, down, source);
  }
  if (down) {
    int v = scrollBar_.getValue();
    int page = shownCount_ * rowHeight_;
    int end = int(rows_.size()) * rowHeight_;
    bool moved = false;
    switch (keysym) {
    case keys::Home:
      moved = setSlider(0);
      break;
    case keys::Up:
      moved = setSlider(v - rowHeight_);
      break;
    case keys::Down:
      moved = setSlider(v + rowHeight_);
      break;
    case keys::Page_Up:
      moved = setSlider(v - page < 1 ? 0 : v - page);
      break;
    case keys::Page_Down:
      moved = setSlider(v + page > end ? end : v + page);
      break;
    case keys::End:
      moved = setSlider(end);
      break;
    default:
      break;
    }
    if (moved) {
      layoutRows();
      invalidate();
      return true;
    }
  }
  return TooltipLayout::onKey(keysym, down, source);
}

bool WAdvancedListBox::onClick(wvw::Widget* source) {
  if (source == choice_.getTextField())
    applyEdit();
  else if (scrollBar_.isArrowButton(source))
    closeEditor();
  return TooltipLayout::onClick(source);
}

bool WAdvancedListBox::onChange(wvw::Widget* source) {
  if (source == &header_ || source == scrollBar_.getSlider()) {
    layoutRows();
    invalidate();
  } else if (source == &text_ && edited_) {
    setEditValue(text_.getText());
    applyEdit();
  }
  return TooltipLayout::onChange(source);
}

bool WAdvancedListBox::onAttach(wvw::Widget* source) {
  if (source == this) {
    for (auto& r : rows_) {
      std::string v = valueText(r->param);
      r->value.setText(v.c_str());
      if (text_.editedCell == &r->value)
        text_.setText(r->param->getValueStr().c_str());
      if (choice_.editedCell == &r->value)
        choice_.setText(r->value.getText());
    }
    if (edited_)
      editValue_ = std::make_unique<std::string>(edited_->param->getValueStr().c_str());
  }
  return true;
}

bool WAdvancedListBox::onSizeChange(wvw::Widget* source) {
  if (source == this)
    layoutRows();
  return TooltipLayout::onSizeChange(source);
}

} // namespace ui
