#include "rfb/ClippingUpdateTracker.h"

#include "RegionCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using rfb::RectSet;

namespace {
struct Recorder : rfb::UpdateTracker {
  void addChanged(const RectSet& r) override { calls.push_back("changed " + boxesOf(r)); }
  void addCopied(const RectSet& r, const Point& d) override {
    calls.push_back("copied " + boxesOf(r) + " by " + std::to_string(d.x) + "," +
                    std::to_string(d.y));
  }
  std::vector<std::string> calls;
};
} // namespace

TEST(ClippingUpdateTracker, ClipsChangedAndCopied) {
  struct Case {
    const char* name;
    Rect dest;
    Point delta;
    std::vector<std::string> calls;
  } cases[] = {
      {"copy inside the clip", Rect(10, 10, 20, 20), Point(5, 0), {"copied 10,10,20,20 by 5,0"}},
      {"copy from outside the clip", Rect(0, 0, 10, 10), Point(50, 0), {"changed 0,0,10,10"}},
      {"copy wholly outside", Rect(200, 200, 210, 210), Point(1, 1), {}},
      {"half from outside",
       Rect(0, 10, 20, 20),
       Point(10, 0),
       {"copied 10,10,20,20 by 10,0", "changed 0,10,10,20"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Recorder rec;
    rfb::ClippingUpdateTracker t(&rec, RectSet(Rect(0, 0, 100, 100)));
    t.addCopied(RectSet(c.dest), c.delta);
    EXPECT_EQ(rec.calls, c.calls);
  }
  Recorder rec;
  rfb::ClippingUpdateTracker t(&rec, RectSet(Rect(0, 0, 100, 100)));
  t.addChanged(RectSet(Rect(90, 90, 120, 95)));
  t.addChanged(RectSet(Rect(190, 90, 220, 95))); // empty result is passed on too
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"changed 90,90,100,95", "changed "}));
}
