// The rule list of the IP filter rules dialog: the "Hosts" value of a
// parameter set read into an ordered list of entries that always ends with
// exactly one Default entry, the selection, the row operations and their
// bounds, and the text stored back. The list owns its entries; the
// parameter set belongs to the caller.
#pragma once

#include "serverconfig/AccessControlEntry.h"

#include <vector>

namespace plat {
class ParameterSet;
}

namespace serverconfig {

class AccessControlList {
public:
  // Reads "Hosts" (throws plat::Exception when the set has no such
  // parameter). Entries that are no rule are skipped; reading stops after
  // the first Default entry; without one, "-" (reject the rest) is added.
  // A selection beyond the new list becomes -1.
  void load(const plat::ParameterSet& config);
  // The entries' texts joined by "," into "Hosts" at priority 50.
  void store(plat::ParameterSet& config) const;
  // The joined text that store() writes.
  plat::String joined() const;

  int count() const { return static_cast<int>(entries_.size()); }
  const AccessControlEntry& entry(int index) const;
  int selected() const { return selected_; }
  void select(int index);

  // Which row buttons apply to the selection.
  bool canEdit() const;
  bool canRemove() const;
  bool canMoveUp() const;
  bool canMoveDown() const;

  // Each does nothing when its button would be disabled.
  void remove();
  void moveUp();
  void moveDown();
  // Inserts before the selected row, or above the Default row when none is
  // selected; the selection index stays.
  void add(const AccessControlEntry& entry);
  // Replaces the selected row; the Default row stays the Default row.
  void edit(const AccessControlEntry& entry);

private:
  std::vector<AccessControlEntry> entries_;
  int selected_ = 0;
};

} // namespace serverconfig
