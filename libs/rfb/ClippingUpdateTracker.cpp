#include "rfb/ClippingUpdateTracker.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("ClippingUT");

namespace rfb {

UpdateTracker::~UpdateTracker() = default;

void ClippingUpdateTracker::addChanged(const RectSet& region) {
  RectSet clipped;
  clipped.setIntersect(region, clip_);
  child_->addChanged(clipped);
}

void ClippingUpdateTracker::addCopied(const RectSet& dest, const Point& delta) {
  RectSet d;
  d.setIntersect(dest, clip_);
  if (d.isEmpty())
    return;
  // The part of d whose source pixels lie inside the clip.
  RectSet s(d);
  s.translate(delta.negate());
  s.setIntersect(s, clip_);
  s.translate(delta);
  if (!s.isEmpty()) {
    d.setSubtract(d, s);
    child_->addCopied(s, delta);
  }
  if (!d.isEmpty())
    child_->addChanged(d);
}

} // namespace rfb
