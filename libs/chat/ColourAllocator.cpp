#include "chat/ColourAllocator.h"

namespace chat {

const Colour ColourAllocator::localuser = {0, 0, 0};
const Colour ColourAllocator::timestamp = {160, 160, 80};
const Colour ColourAllocator::disconnected = {200, 200, 200};
const Colour ColourAllocator::participants[7] = {
    {160, 0, 0}, {0, 160, 0}, {0, 0, 160}, {160, 0, 160}, {0, 160, 160}, {160, 160, 0}, {160, 0, 0},
};

const Colour& ColourAllocator::allocate(const std::string& key) {
  const Colour*& slot = colours_[key];
  if (slot)
    return *slot;
  const Colour* chosen = &participants[6];
  for (int i = 0; i < 6; i++) {
    if (held_[i] == 0) {
      chosen = &participants[i];
      held_[i]++;
      break;
    }
  }
  slot = chosen;
  return *slot;
}

void ColourAllocator::release(const std::string& key) {
  auto it = colours_.find(key);
  if (it == colours_.end())
    return;
  for (int i = 0; i < 6; i++)
    if (it->second == &participants[i])
      held_[i]--;
  colours_.erase(it);
}

const Colour& ColourAllocator::lookup(const std::string& key) const {
  auto it = colours_.find(key);
  if (it == colours_.end() || !it->second)
    return disconnected;
  return *it->second;
}

} // namespace chat
