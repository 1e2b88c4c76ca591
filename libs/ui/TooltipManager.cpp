#include "ui/TooltipManager.h"

#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/MarkUp.h"

namespace ui {

TooltipManager::TooltipManager(wvw::Widget* owner)
    : owner_(owner), tooltip_(new Tooltip(owner, 320)) {
}

TooltipManager::~TooltipManager() = default;

void TooltipManager::setTooltip(wvw::Widget* widget, const char* text, int wrapWidth) {
  if (!text) {
    entries_.erase(widget);
    return;
  }
  Entry& e = entries_[widget];
  if (!e.hasText || e.text != text)
    e.text = text;
  e.hasText = true;
  e.wrapWidth = wrapWidth;
}

void TooltipManager::setTooltips(wvw::Widget* widget, const char* const* texts, int wrapWidth) {
  if (!texts) {
    entries_.erase(widget);
    return;
  }
  Entry& e = entries_[widget];
  e.texts.clear();
  for (const char* const* t = texts; *t; t++)
    e.texts.push_back(*t);
  e.wrapWidth = wrapWidth;
}

const char* TooltipManager::getTooltip(wvw::Widget* widget) const {
  auto i = entries_.find(widget);
  return i == entries_.end() || !i->second.hasText ? nullptr : i->second.text.c_str();
}

bool TooltipManager::showTooltip(const rfb::Point& p, wvw::Widget* source) {
  // The pointer may rest on a part of a widget that has a tooltip (the label
  // of a list cell, the mark of a check box): the widget's entry counts.
  wvw::Widget* widget = source;
  auto i = entries_.find(widget);
  while (i == entries_.end() && widget && widget != owner_) {
    widget = widget->getContainer();
    i = entries_.find(widget);
  }
  if (i == entries_.end()) {
    tooltip_->hide();
    return false;
  }
  const Entry& e = i->second;
  const std::string* text = e.hasText ? &e.text : nullptr;
  if (!e.texts.empty() && valueOf_) {
    int value = valueOf_(widget);
    if (value >= 0 && size_t(value) < e.texts.size())
      text = &e.texts[size_t(value)];
  }
  if (!text)
    return true;
  plat::DString escaped;
  plat::MarkUp::appendEscaped(escaped, text->c_str());
  std::string shown = escaped.c_str();
  if (tooltip_->isShown()) {
    if (tooltip_->getText() == shown)
      return true;
    tooltip_->hide();
  }
  rfb::Point at;
  try {
    at = source->mapPointTo(p.translate(rfb::Point(2, 16)), owner_);
  } catch (plat::Exception&) {
    // A widget not (or no longer) in the owner's tree has nowhere to show it.
    return true;
  }
  tooltip_->setText(shown.c_str());
  tooltip_->setWrapWidth(e.wrapWidth);
  tooltip_->showAt(at, widget);
  return true;
}

} // namespace ui
