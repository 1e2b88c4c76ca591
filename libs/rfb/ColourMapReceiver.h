// Told by a translating buffer which entries of its output colour map
// changed, so that it can pass them on (to a peer, a display).
#pragma once

namespace rfb {

class ColourMap;

class ColourMapReceiver {
public:
  virtual ~ColourMapReceiver() = default;
  // Entries first .. first + count - 1 of cm (not owned) are new.
  virtual void setColourMapEntries(int first, int count, ColourMap* cm) = 0;
};

} // namespace rfb
