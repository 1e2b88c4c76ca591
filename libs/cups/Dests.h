// The printing system's destination list, loaded on construction and freed
// on destruction. Records handed out belong to the list and live as long as
// it; the list is a short-lived local of one operation.
#pragma once

#include "cups/CupsTypes.h"

namespace cups {

class Dests {
public:
  Dests();
  ~Dests();
  Dests(const Dests&) = delete;
  Dests& operator=(const Dests&) = delete;

  int count() const { return count_; }
  cups_dest_t* at(int index) const { return &dests_[index]; }
  // The destination of that name (without instance), or null.
  cups_dest_t* find(const char* name) const;
  // The name of the default destination, or null.
  const char* defaultDestName() const;
  // The default destination's name, else the first one's, else null.
  const char* defaultName() const;

  // Makes dest (one of this list's records) the only default and saves;
  // with null only logs.
  void setDefault(cups_dest_t* dest);
  // Stores the list for the real user: a process running set-user-id stores
  // it from a child that has taken the real user id. Failures are logged.
  void save();

private:
  int count_ = 0;
  cups_dest_t* dests_ = nullptr;
};

} // namespace cups
