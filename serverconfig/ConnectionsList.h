// The model of the viewers connected to the server: an ordered list of
// connection records refreshed from the owner's Callback, which knows how to
// ask the server, plus the two actions on one record (disconnect, change the
// access rights). The model owns its records; the callback is not owned.
#pragma once

#include "plat/String.h"

#include <cstdint>
#include <vector>

namespace serverconfig {

class ConnectionsList {
public:
  // One connection. Records are values: copying one copies its texts. Any
  // text may be absent.
  class Entry {
  public:
    Entry() = default;
    Entry(const char* user, const char* address, const char* suffix, std::uint16_t rights)
        : user(user), address(address), suffix(suffix), rights(rights) {}

    // "Full", "Default" or "View only" when the rights equal that constant
    // exactly, else "Custom".
    const char* accessText() const;
    // All four fields equal; an absent text equals only an absent text.
    bool operator==(const Entry& other) const;
    bool operator!=(const Entry& other) const { return !(*this == other); }

    plat::String user;
    plat::String address;
    // The part after the first '+' of the address text the server reports.
    plat::String suffix;
    std::uint16_t rights = 0;
  };

  // How the model reaches the server.
  class Callback {
  public:
    virtual ~Callback() = default;
    virtual bool disconnect(const Entry& entry) = 0;
    virtual bool setAccess(const Entry& entry, std::uint16_t rights) = 0;
    // Appends the current connections to list, which is empty on entry.
    virtual void list(std::vector<Entry>& list) = 0;
    // The list changed: these records came, these went.
    virtual void notify(const std::vector<Entry>& added, const std::vector<Entry>& removed) = 0;
  };

  explicit ConnectionsList(Callback* callback) : callback_(callback) {}

  // Re-reads the list through the callback and tells it of added and
  // removed records (a record whose rights changed is both). A failure
  // thrown while listing leaves the records as they were. Always true.
  bool refresh();
  // The callback's answer; the records stay until the next refresh. The
  // index must name a record.
  bool disconnect(size_t index);
  // On the callback's success the record takes the rights.
  bool setAccess(size_t index, std::uint16_t rights);

  const std::vector<Entry>& getEntries() const { return entries_; }
  size_t count() const { return entries_.size(); }

  // Appends to out a copy of every record of from that has no equal record
  // in other, in the order of from.
  static void missingFrom(std::vector<Entry>& out, const std::vector<Entry>& from,
                          const std::vector<Entry>& other);

private:
  Callback* callback_;
  std::vector<Entry> entries_;
};

} // namespace serverconfig
