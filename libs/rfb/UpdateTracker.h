// Receives screen damage: regions that changed, and regions that were copied
// by a displacement (the destination region and the source-to-destination
// delta).
#pragma once

#include "rfb/Point.h"
#include "rfb/RectSet.h"

namespace rfb {

class UpdateTracker {
public:
  virtual ~UpdateTracker();
  virtual void addChanged(const RectSet& region) = 0;
  virtual void addCopied(const RectSet& dest, const Point& delta) = 0;
};

} // namespace rfb
