// Composes dead keys (or Multi_key followed by a spacing accent) with the
// next key into one keysym, for text widgets that insert typed characters.
// The composition tables are static data, not owned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace rfb {

class DeadKeyUtil {
public:
  struct Entry {
    uint32_t composed;
    uint32_t dead;
    uint32_t base;
  };

  DeadKeyUtil();
  virtual ~DeadKeyUtil();

  // True when the key was consumed; the keysyms appended to out are to be
  // delivered instead (each as a press and a release).
  bool processKey(uint32_t keysym, bool down, std::vector<uint32_t>* out);
  // The dead key and base key that compose to a keysym.
  bool decompose(uint32_t composed, uint32_t* dead, uint32_t* base) const;
  // Appends a table; its entries replace earlier ones in the index.
  void addTable(const Entry* entries, size_t count);

  // The dead keysym of a spacing accent (0: none) and the first spacing
  // accent of a dead keysym (0: none).
  static uint32_t accentToDead(uint32_t accent);
  static uint32_t deadToAccent(uint32_t dead);

  // Keys whose release is still to be consumed.
  size_t swallowedCount() const { return swallowed_.size(); }

private:
  void swallow(uint32_t keysym);

  std::map<uint32_t, const Entry*> index_;
  std::vector<std::pair<size_t, const Entry*>> tables_;
  uint32_t pendingDead_;
  std::set<uint32_t> swallowed_;
  bool compose_;
};

} // namespace rfb
