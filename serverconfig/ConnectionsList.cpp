#include "serverconfig/ConnectionsList.h"

#include "plat/Assert.h"
#include "plat/StringUtils.h"
#include "zav/Access.h"

#include <algorithm>

namespace serverconfig {

const char* ConnectionsList::Entry::accessText() const {
  if (rights == zav::Access::Full)
    return "Full";
  if (rights == zav::Access::Default)
    return "Default";
  if (rights == zav::Access::View)
    return "View only";
  return "Custom";
}

bool ConnectionsList::Entry::operator==(const Entry& other) const {
  return plat::strEqual(user.get(), other.user.get()) &&
         plat::strEqual(address.get(), other.address.get()) &&
         plat::strEqual(suffix.get(), other.suffix.get()) && rights == other.rights;
}

void ConnectionsList::missingFrom(std::vector<Entry>& out, const std::vector<Entry>& from,
                                  const std::vector<Entry>& other) {
  for (const Entry& entry : from)
    if (std::find(other.begin(), other.end(), entry) == other.end())
      out.push_back(entry);
}

bool ConnectionsList::refresh() {
  std::vector<Entry> fresh;
  callback_->list(fresh);
  std::vector<Entry> added, removed;
  missingFrom(added, fresh, entries_);
  missingFrom(removed, entries_, fresh);
  entries_ = std::move(fresh);
  if (!added.empty() || !removed.empty())
    callback_->notify(added, removed);
  return true;
}

bool ConnectionsList::disconnect(size_t index) {
  PLAT_ASSERT(index < entries_.size());
  return callback_->disconnect(entries_[index]);
}

bool ConnectionsList::setAccess(size_t index, std::uint16_t rights) {
  PLAT_ASSERT(index < entries_.size());
  if (!callback_->setAccess(entries_[index], rights))
    return false;
  entries_[index].rights = rights;
  return true;
}

} // namespace serverconfig
