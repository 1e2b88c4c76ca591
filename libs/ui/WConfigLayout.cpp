#include "ui/WConfigLayout.h"

#include "plat/Exception.h"

namespace ui {

WConfigLayout::WConfigLayout(_XDisplay* dpy, TXWParent* owner, wvw::Widget* tooltipOwner,
                             plat::ParameterSet* set, plat::ParameterSet* target)
    : TooltipLayout(tooltipOwner), dpy_(dpy), owner_(owner), hMargin_(2), vMargin_(2), set_(set),
      target_(target), writePriority_(50) {
}

WConfigLayout::~WConfigLayout() = default;

void WConfigLayout::translateValue(const char*, const char**, bool) {
}

plat::ConfigParameter* WConfigLayout::lookUp(const char* name) {
  plat::ConfigParameter* p = set_ ? set_->find(name) : nullptr;
  if (!p)
    throw plat::ExceptionFmt("Unknown parameter '%s'", name);
  return p;
}

void WConfigLayout::bindCheck(wvw::WCheckBox* box, const char* name, const char* checked,
                              const char* unchecked) {
  CheckBinding values[] = {{name, checked, unchecked}, {nullptr, nullptr, nullptr}};
  bindCheckValues(box, values);
}

void WConfigLayout::bindCheckValues(wvw::WCheckBox* box, const CheckBinding* values) {
  std::vector<CheckValue> added;
  for (const CheckBinding* v = values; v->name; v++)
    added.push_back(CheckValue{lookUp(v->name), v->checked ? v->checked : "",
                               v->unchecked ? v->unchecked : "", nullptr});
  auto& entry = checks_[box->getCheck()];
  entry.first = box->getCheck();
  std::vector<CheckValue>& list = entry.second;
  for (CheckValue& v : added)
    list.push_back(std::move(v));
}

void WConfigLayout::bindChoice(wvw::WChoice* choice, const char* name) {
  choices_[choice] = {choice, lookUp(name)};
}

void WConfigLayout::bindText(wvw::WText* text, const char* name) {
  texts_[text] = {text, lookUp(name)};
}

void WConfigLayout::write(plat::ConfigParameter* param, const char* text) {
  const char* value = text;
  translateValue(param->getName(), &value, true);
  param->setParam(value ? value : "", writePriority_);
}

void WConfigLayout::loadCheck(wvw::WCheck* check, std::vector<CheckValue>& values) {
  bool anyChecked = false, anyUnchecked = false, mixed = false;
  for (CheckValue& v : values) {
    plat::String text = v.param->getValueStr();
    const char* value = text.c_str();
    translateValue(v.param->getName(), &value, false);
    if (!value)
      value = "";
    if (!v.loaded || *v.loaded != value)
      v.loaded = std::make_unique<std::string>(value);
    if (v.checked == value)
      anyChecked = true;
    else if (v.unchecked == value)
      anyUnchecked = true;
    else
      mixed = true;
  }
  if (mixed || (anyChecked && anyUnchecked))
    check->setIndeterminate();
  else
    check->setChecked(anyChecked);
}

bool WConfigLayout::onAttach(wvw::Widget* source) {
  AliveCheck alive(this);
  auto c = checks_.find(source);
  if (c != checks_.end()) {
    loadCheck(c->second.first, c->second.second);
  } else if (auto ch = choices_.find(source); ch != choices_.end()) {
    plat::String text = ch->second.second->getValueStr();
    const char* value = text.c_str();
    translateValue(ch->second.second->getName(), &value, false);
    ch->second.first->setText(value ? value : "");
  } else if (auto t = texts_.find(source); t != texts_.end()) {
    plat::String text = t->second.second->getValueStr();
    const char* value = text.c_str();
    translateValue(t->second.second->getName(), &value, false);
    t->second.first->setText(value ? value : "");
  }
  if (alive.gone())
    return true;
  return TooltipLayout::onAttach(source);
}

bool WConfigLayout::onChange(wvw::Widget* source) {
  AliveCheck alive(this);
  auto c = checks_.find(source);
  if (c != checks_.end()) {
    bool indeterminate = c->second.first->isIndeterminate();
    bool checked = c->second.first->isChecked();
    for (CheckValue& v : c->second.second) {
      const std::string* text =
          indeterminate ? v.loaded.get() : (checked ? &v.checked : &v.unchecked);
      // Never loaded: nothing to write back for an undecided box.
      if (text)
        write(v.param, text->c_str());
    }
  } else if (auto ch = choices_.find(source); ch != choices_.end()) {
    write(ch->second.second, ch->second.first->getText());
  } else if (auto t = texts_.find(source); t != texts_.end()) {
    write(t->second.second, t->second.first->getText());
  }
  if (alive.gone())
    return true;
  return TooltipLayout::onChange(source);
}

} // namespace ui
