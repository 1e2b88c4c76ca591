#include "serverconfig/ConnectionsList.h"

#include "plat/Assert.h"
#include "plat/StringUtils.h"
#include "zav/Access.h"

#include <algorithm>
#include <cstring>

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

namespace {

// Orders texts with an absent text before every present one.
int compareTexts(const char* a, const char* b) {
  if (!a || !b)
    return (a != nullptr) - (b != nullptr);
  return strcmp(a, b);
}

// A total order on records that agrees with their equality.
bool entryLess(const ConnectionsList::Entry* a, const ConnectionsList::Entry* b) {
  if (int c = compareTexts(a->user.get(), b->user.get()))
    return c < 0;
  if (int c = compareTexts(a->address.get(), b->address.get()))
    return c < 0;
  if (int c = compareTexts(a->suffix.get(), b->suffix.get()))
    return c < 0;
  return a->rights < b->rights;
}

} // namespace

// Looks each record up in a sorted index of other, so that a refresh costs
// n log n rather than a comparison of every pair: the status window refreshes
// on every status change, whatever the number of connections.
void ConnectionsList::missingFrom(std::vector<Entry>& out, const std::vector<Entry>& from,
                                  const std::vector<Entry>& other) {
  std::vector<const Entry*> index;
  index.reserve(other.size());
  for (const Entry& entry : other)
    index.push_back(&entry);
  std::sort(index.begin(), index.end(), entryLess);
  for (const Entry& entry : from)
    if (!std::binary_search(index.begin(), index.end(), &entry, entryLess))
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
