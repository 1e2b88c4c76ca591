#include "wvw/WLayout.h"

#include "RecordingHandler.h"
#include "RegionCheck.h"
#include "TestWidgets.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;
using wvw::WLayout;
using Events = std::vector<std::string>;

namespace {
// A layout with two children, attached to a host; every widget reports to
// one recording handler.
struct Tree {
  Tree() {
    for (auto& p : std::vector<std::pair<wvw::Widget*, const char*>>{
             {&root, "L"}, {&a, "A"}, {&b, "B"}, {&c, "C"}})
      rec.name(p.first, p.second);
    root.setSize(100, 100);
    root.addChildSized(&a, Rect(0, 0, 50, 50));
    root.addChildSized(&b, Rect(40, 40, 90, 90)); // overlaps A, added later
    a.setInputHandler(&rec);
    b.setInputHandler(&rec);
    c.setInputHandler(&rec);
    rootRec.name(&root, "L");
    rootRec.only = &root;
    rootRec.sink = &rec.events;
    root.setInputHandler(&rootRec);
    rec.quiet = rootRec.quiet = {"attach", "focus", "size"};
    host.attach(&root);
    host.focusIn();
    host.pointer(99, 0, 0); // start over the layout, outside every child
    rec.events.clear();
    host.invalidations.clear();
  }
  ~Tree() {
    a.setInputHandler(nullptr);
    b.setInputHandler(nullptr);
    c.setInputHandler(nullptr);
    root.setInputHandler(nullptr);
  }
  WLayout root;
  Patch a, b, c;
  RecordingHandler rec, rootRec;
  WidgetTestHost host;
};
} // namespace

TEST(WLayout, PointerRoutingTable) {
  struct Step {
    int x, y, mask;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    Events events;
  } cases[] = {
      {"overlap goes to the later child", {{45, 45, 0}}, {"move 5,5 B"}},
      {"moving from A to B leaves A first",
       {{10, 10, 0}, {60, 60, 0}},
       {"move 10,10 A", "leave A", "move 20,20 B"}},
      {"drag from A onto B stays with A",
       {{10, 10, 1}, {60, 60, 1}, {95, 95, 1}},
       {"move 10,10 A", "press 0 A", "move 60,60 A", "move 95,95 A"}},
      {"releasing over B ends the grab first",
       {{10, 10, 1}, {60, 60, 1}, {60, 60, 0}},
       {"move 10,10 A", "press 0 A", "move 60,60 A", "leave A", "move 20,20 B"}},
      {"pointer over no child goes to the layout", {{95, 5, 0}}, {"move 95,5 L"}},
      {"press outside children grabs nothing",
       {{95, 5, 1}, {10, 10, 1}},
       {"move 95,5 L", "press 0 L", "move 10,10 A", "press 0 A"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t;
    for (const Step& s : c.steps)
      t.host.pointer(s.x, s.y, s.mask);
    EXPECT_EQ(t.rec.events, c.events);
  }
}

TEST(WLayout, HiddenAndDisabledChildrenAreNoTargets) {
  Tree t;
  t.b.setVisible(false);
  t.host.pointer(60, 60, 0);
  t.b.setVisible(true);
  t.b.setEnabled(false);
  t.host.pointer(61, 61, 0);
  t.host.pointer(45, 45, 0);
  EXPECT_EQ(t.rec.events, (Events{"visibility B", "move 60,60 L", "visibility B", "enabled B",
                                  "move 61,61 L", "move 45,45 A"}));
  // a disabled child under the pointer is still told when it leaves
  Tree u;
  u.host.pointer(60, 60, 0);
  u.b.setEnabled(false);
  u.rec.events.clear();
  u.host.leave();
  EXPECT_EQ(u.rec.events, (Events{"leave B", "leave L"}));
}

TEST(WLayout, PressOutsidePopupClosesItWithoutDelivery) {
  Tree t;
  t.root.setPopup(&t.c, Point(0, 60));
  t.c.setSize(30, 30);
  ASSERT_EQ(t.root.getPopup(), &t.c);
  t.rec.events.clear();
  t.host.pointer(10, 10, 1); // over A, outside the popup
  EXPECT_EQ(t.root.getPopup(), nullptr);
  EXPECT_EQ(t.rec.events, Events{"detach C"});
  EXPECT_EQ(t.root.numChildren(), 2);
  // the grab taken by that press stays: the drag goes to A
  t.host.pointer(12, 12, 1);
  t.host.pointer(12, 12, 0);
  // A sees the press only with the next event
  EXPECT_EQ(t.rec.events, (Events{"detach C", "move 12,12 A", "press 0 A", "release 0 A"}));
  // a press inside the popup is delivered
  t.root.setPopup(&t.c, Point(0, 60));
  t.rec.events.clear();
  t.host.pointer(5, 65, 1);
  EXPECT_EQ(t.root.getPopup(), &t.c);
  EXPECT_EQ(t.rec.events, (Events{"leave A", "move 5,5 C", "press 0 C"}));
}

TEST(WLayout, FocusOnAddAndTheTwoNotifications) {
  WLayout detached;
  Patch p;
  detached.addChild(&p);
  EXPECT_EQ(detached.getFocusChild(), nullptr);

  Tree t;
  t.rec.quiet = {"attach"};
  Patch x, y;
  WLayout other;
  WidgetTestHost h;
  t.rec.name(&x, "X");
  t.rec.name(&y, "Y");
  x.setInputHandler(&t.rec);
  y.setInputHandler(&t.rec);
  h.attach(&other);
  other.addChild(&x);
  EXPECT_EQ(other.getFocusChild(), &x); // the first focusable child of an attached layout
  other.addChild(&y);
  EXPECT_EQ(other.getFocusChild(), &x);
  t.rec.events.clear();
  other.setFocus(&y);
  EXPECT_EQ(t.rec.events, (Events{"focus out X", "focus in Y"}));
  x.setInputHandler(nullptr);
  y.setInputHandler(nullptr);
}

TEST(WLayout, TabMovesAndWrapsThroughNestedLayouts) {
  Patch a, b, c, nf(rfb::Colour(), false);
  WLayout outer, inner;
  WidgetTestHost host;
  outer.addChild(&a);
  outer.addChild(&inner);
  inner.addChild(&b);
  inner.addChild(&nf);
  inner.addChild(&c);
  host.attach(&outer);
  EXPECT_EQ(outer.getFocusChild(), nullptr); // attaching focuses nothing
  host.focusIn();
  EXPECT_EQ(outer.getFocusChild(), &a);
  EXPECT_TRUE(a.hasFocus());
  host.type(0xFF09);
  EXPECT_TRUE(b.hasFocus());
  EXPECT_FALSE(a.hasFocus());
  host.type(0xFF09); // skips the child that refuses the focus
  EXPECT_TRUE(c.hasFocus());
  // last of the inner layout: the outer moves on, wrapping to A
  host.type(0xFF09);
  EXPECT_TRUE(a.hasFocus());
  EXPECT_EQ(host.focusNextCalls, 1);
  host.held.insert(0xFFE1);
  host.type(0xFF09); // Shift+Tab from A wraps backwards into the inner layout's last
  EXPECT_TRUE(c.hasFocus());
  host.held.clear();
  // losing the window focus clears the focus path; regaining it backwards
  // focuses the last focusable child
  host.focusOut();
  EXPECT_EQ(outer.getFocusChild(), nullptr);
  EXPECT_FALSE(c.hasFocus());
  host.focusIn(true);
  EXPECT_EQ(outer.getFocusChild(), &inner);
  EXPECT_TRUE(c.hasFocus());
  // a lone inner layout with nothing outside to move to wraps within itself
  Patch p, q;
  WLayout solo, in2;
  WidgetTestHost h2;
  solo.addChild(&in2);
  in2.addChild(&p);
  in2.addChild(&q);
  h2.attach(&solo);
  in2.setFocus(&q);
  EXPECT_TRUE(q.hasFocus());
  h2.type(0xFF09);
  EXPECT_TRUE(p.hasFocus());
}

TEST(WLayout, RemovingTheFocusedChild) {
  Tree t;
  ASSERT_EQ(t.root.getFocusChild(), &t.a);
  t.root.removeChild(&t.a);
  EXPECT_EQ(t.root.getFocusChild(), &t.b);
  EXPECT_EQ(t.a.getParent(), nullptr);
  EXPECT_EQ(t.a.getContainer(), nullptr);
  ASSERT_FALSE(t.host.invalidations.empty());
  EXPECT_EQ(boxesOf(t.host.invalidations.back()), "0,0,50,50");
  t.root.removeChild(&t.b);
  EXPECT_EQ(t.root.getFocusChild(), nullptr);
  // removing a non-child changes nothing
  t.root.removeChild(&t.c);
  EXPECT_EQ(t.root.numChildren(), 0);
}

TEST(WLayout, RemovingTheGrabChildEndsTheGrab) {
  Tree t;
  t.host.pointer(10, 10, 1);
  ASSERT_EQ(t.root.getGrabChild(), &t.a);
  t.root.removeChild(&t.a);
  EXPECT_EQ(t.root.getGrabChild(), nullptr);
  t.rec.events.clear();
  t.host.pointer(60, 60, 1);
  EXPECT_EQ(t.rec.events, (Events{"move 20,20 B", "press 0 B"}));
}

TEST(WLayout, FitToChildrenAndPreferredSize) {
  WLayout l;
  Patch p;
  l.addChildSized(&p, Rect(10, 20, 40, 30));
  int w, h;
  l.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 30);
  l.fitToChildren(4);
  EXPECT_EQ(l.getChildPosition(&p), Point(4, 4));
  EXPECT_EQ(l.width(), 38);
  EXPECT_EQ(l.height(), 18);
  WLayout empty;
  empty.fitToChildren(3);
  EXPECT_EQ(empty.width(), 6);
  EXPECT_EQ(empty.height(), 6);
}

TEST(WLayout, DamageTravelsUpAsOneRegionInHostCoordinates) {
  Patch leaf;
  WLayout root, mid;
  WidgetTestHost host;
  root.setSize(200, 200);
  root.addChildSized(&mid, Rect(30, 40, 130, 140));
  mid.addChildSized(&leaf, Rect(5, 6, 25, 16));
  host.attach(&root);
  host.invalidations.clear();
  leaf.invalidateRegion(rfb::RectSet(Rect(1, 1, 3, 3)));
  ASSERT_EQ(host.invalidations.size(), 1u);
  EXPECT_EQ(boxesOf(host.invalidations[0]), "36,47,38,49");
  EXPECT_EQ(host.invalidatedBy[0], &root);
  // a hidden layout stops its children's damage
  mid.setVisible(false);
  host.invalidations.clear();
  leaf.invalidate();
  EXPECT_TRUE(host.invalidations.empty());
  mid.setVisible(true);
  host.invalidations.clear();
  // moving a child damages its old and new place at once
  mid.moveChild(&leaf, Point(50, 6));
  ASSERT_EQ(host.invalidations.size(), 1u);
  EXPECT_EQ(boxesOf(host.invalidations[0]), "35,46,55,56; 80,46,100,56");
  mid.moveChild(&leaf, Point(50, 6));
  EXPECT_EQ(host.invalidations.size(), 1u);
}

TEST(WLayout, ForwardsParentQueries) {
  Tree t;
  t.host.setClipboardText("clip");
  EXPECT_STREQ(t.root.getClipboardText(), "clip");
  t.a.bell();
  EXPECT_EQ(t.host.bells, 1);
  t.host.held.insert(0xFFE3);
  EXPECT_TRUE(t.a.isControlDown());
  EXPECT_FALSE(t.a.isAltDown());
  t.root.setClipboardText("back");
  EXPECT_EQ(t.host.clipboard, "back");
}

TEST(WLayoutDeathTest, MovingANonChildIsFatal) {
  WLayout l;
  Patch p;
  EXPECT_DEATH(l.moveChild(&p, Point(1, 1)), "i != ws.end\\(\\)");
  EXPECT_DEATH(l.getChildPosition(&p), "i != ws.end\\(\\)");
}
