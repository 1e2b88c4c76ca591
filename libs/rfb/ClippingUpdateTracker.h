// An update tracker that clips damage and copies to a clip region before
// passing them on to the next tracker (not owned). A copy whose source lies
// outside the clip is passed on as changed.
#pragma once

#include "rfb/UpdateTracker.h"

namespace rfb {

class ClippingUpdateTracker : public UpdateTracker {
public:
  ClippingUpdateTracker() : child_(nullptr) {}
  ClippingUpdateTracker(UpdateTracker* next, const RectSet& clip) : child_(next), clip_(clip) {}

  void setUpdateTracker(UpdateTracker* next) { child_ = next; }
  void setClipRegion(const RectSet& clip) { clip_ = clip; }

  void addChanged(const RectSet& region) override;
  void addCopied(const RectSet& dest, const Point& delta) override;

private:
  UpdateTracker* child_;
  RectSet clip_;
};

} // namespace rfb
