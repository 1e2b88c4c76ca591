// Gives each connected chat participant one of six fixed colours, the first
// that no other participant holds, from its join to its leave. Participants
// are known by their key text; the colours are static entries of one table,
// held by identity.
#pragma once

#include "chat/Colour.h"

#include <map>
#include <string>

namespace chat {

class ColourAllocator {
public:
  static const Colour localuser;
  static const Colour timestamp;
  static const Colour disconnected;
  // Entries 0-5 are handed out in order; entry 6 (the values of entry 0) when
  // all six are in use.
  static const Colour participants[7];

  // The key's colour, allocating one when the key has none.
  const Colour& allocate(const std::string& key);
  // Forgets the key (nothing when absent).
  void release(const std::string& key);
  // The key's colour, or disconnected when the key is absent.
  const Colour& lookup(const std::string& key) const;

private:
  std::map<std::string, const Colour*> colours_;
  // How many keys hold each of entries 0-5 (at most one each), so a join
  // costs the same however many participants there are.
  int held_[6] = {};
};

} // namespace chat
