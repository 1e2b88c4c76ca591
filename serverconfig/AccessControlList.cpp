#include "serverconfig/AccessControlList.h"

#include "plat/ConfigParameter.h"
#include "plat/Exception.h"
#include "plat/ParameterSet.h"
#include "plat/StringUtils.h"

#include <string>
#include <utility>

namespace serverconfig {

void AccessControlList::load(const plat::ParameterSet& config) {
  entries_.clear();
  plat::ConfigParameter* hosts = config.get("Hosts");
  plat::String value = hosts->getValueStr();
  if (!value.isNull()) {
    for (const std::string& item : plat::strSplitAll(value.get(), ',')) {
      try {
        entries_.emplace_back(item.c_str());
      } catch (const plat::Exception&) {
        // Not a rule: the filter skips it too.
      }
      if (!entries_.empty() && entries_.back().isDefault())
        break;
    }
  }
  if (entries_.empty() || !entries_.back().isDefault())
    entries_.emplace_back("-");
  if (selected_ >= count())
    selected_ = -1;
}

plat::String AccessControlList::joined() const {
  std::string text;
  for (const AccessControlEntry& e : entries_) {
    if (!text.empty())
      text += ',';
    text += e.text();
    if (e.isDefault())
      break;
  }
  return text.c_str();
}

void AccessControlList::store(plat::ParameterSet& config) const {
  config.get("Hosts")->setParam(joined().c_str(), 50);
}

const AccessControlEntry& AccessControlList::entry(int index) const {
  if (index < 0 || index >= count())
    throw plat::ExceptionFmt("No rule %d", index);
  return entries_[index];
}

void AccessControlList::select(int index) {
  selected_ = index >= 0 && index < count() ? index : -1;
}

bool AccessControlList::canEdit() const {
  return selected_ >= 0 && selected_ < count();
}

bool AccessControlList::canRemove() const {
  return selected_ >= 0 && selected_ < count() - 1;
}

bool AccessControlList::canMoveUp() const {
  return selected_ > 0 && selected_ < count() - 1;
}

bool AccessControlList::canMoveDown() const {
  return selected_ >= 0 && selected_ < count() - 2;
}

void AccessControlList::remove() {
  if (canRemove())
    entries_.erase(entries_.begin() + selected_);
}

void AccessControlList::moveUp() {
  if (!canMoveUp())
    return;
  std::swap(entries_[selected_ - 1], entries_[selected_]);
  selected_--;
}

void AccessControlList::moveDown() {
  if (!canMoveDown())
    return;
  std::swap(entries_[selected_], entries_[selected_ + 1]);
  selected_++;
}

void AccessControlList::add(const AccessControlEntry& entry) {
  // A new rule never goes behind the Default entry.
  if (entry.isDefault())
    return;
  int at = selected_ >= 0 && selected_ < count() ? selected_ : count() - 1;
  entries_.insert(entries_.begin() + at, entry);
}

void AccessControlList::edit(const AccessControlEntry& entry) {
  if (!canEdit() || entry.isDefault() != entries_[selected_].isDefault())
    return;
  entries_[selected_] = entry;
}

} // namespace serverconfig
