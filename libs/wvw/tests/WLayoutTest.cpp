#include "wvw/WLayout.h"

#include "RecordingHandler.h"
#include "RegionCheck.h"
#include "TestWidgets.h"
#include "WidgetTestHost.h"
#include "rfb/KeysymNames.h"

#include "rfb/ManagedPixelBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <set>
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
      {"a press outside the children keeps the drag in the layout",
       {{95, 5, 1}, {10, 10, 1}, {10, 10, 0}, {12, 12, 1}},
       {"move 95,5 L", "press 0 L", "move 10,10 L", "release 0 L", "move 10,10 A", "move 12,12 A",
        "press 0 A"}},
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
  host.type(rfb::keys::Tab);
  EXPECT_TRUE(b.hasFocus());
  EXPECT_FALSE(a.hasFocus());
  host.type(rfb::keys::Tab); // skips the child that refuses the focus
  EXPECT_TRUE(c.hasFocus());
  // last of the inner layout: the outer moves on, wrapping to A
  host.type(rfb::keys::Tab);
  EXPECT_TRUE(a.hasFocus());
  EXPECT_EQ(host.focusNextCalls, 1);
  host.held.insert(rfb::keys::Shift_L);
  host.type(rfb::keys::Tab); // Shift+Tab from A wraps backwards into the inner layout's last
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
  h2.type(rfb::keys::Tab);
  EXPECT_TRUE(p.hasFocus());
}

// Both directions of the focus walk over one layout: children that refuse
// the focus are skipped, the host is asked at either end of the list before
// the walk wraps, and a backward move tells the new child it came in reverse.
TEST(WLayout, FocusWalksForwardsAndBackwards) {
  Patch p0, n1(rfb::Colour(), false), p2, n3(rfb::Colour(), false), p4;
  WLayout l;
  RecordingHandler rec;
  std::vector<std::pair<wvw::Widget*, const char*>> named = {
      {&p0, "P0"}, {&n1, "N1"}, {&p2, "P2"}, {&n3, "N3"}, {&p4, "P4"}};
  for (auto& n : named) {
    rec.name(n.first, n.second);
    n.first->setInputHandler(&rec);
    l.addChild(n.first);
  }
  rec.quiet = {"attach", "key"};
  WidgetTestHost host;
  host.attach(&l);
  host.focusIn();
  struct Step {
    std::vector<uint32_t> held;
    uint32_t key;
    const char* focused;
    int hostAsked; // focusNext + focusPrevious calls so far
    Events events;
  } steps[] = {
      {{}, rfb::keys::Tab, "P2", 0, {"focus out P0", "focus in P2"}},
      {{}, rfb::keys::Down, "P4", 0, {"focus out P2", "focus in P4"}},
      {{}, rfb::keys::Tab, "P0", 1, {"focus out P4", "focus in P0"}},
      {{rfb::keys::Shift_L},
       rfb::keys::Tab,
       "P4",
       2,
       {"focus reverse out P0", "focus reverse in P4"}},
      {{}, rfb::keys::Up, "P2", 2, {"focus reverse out P4", "focus reverse in P2"}},
      {{rfb::keys::Shift_L},
       rfb::keys::Tab,
       "P0",
       2,
       {"focus reverse out P2", "focus reverse in P0"}},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.focused);
    rec.events.clear();
    host.held = std::set<uint32_t>(st.held.begin(), st.held.end());
    host.type(st.key);
    EXPECT_EQ(rec.nameOf(l.getFocusChild()), st.focused);
    EXPECT_EQ(host.focusNextCalls + host.focusPreviousCalls, st.hostAsked);
    EXPECT_EQ(rec.events, st.events);
  }
  for (auto& n : named)
    n.first->setInputHandler(nullptr);
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
  // the drag goes on with the layout: B never saw the press, so it gets no
  // press now and no release at the end
  t.host.pointer(60, 60, 1);
  EXPECT_EQ(t.rec.events, (Events{"move 60,60 L"}));
  t.host.pointer(61, 61, 0);
  EXPECT_EQ(t.rec.events, (Events{"move 60,60 L", "move 61,61 L", "release 0 L", "move 21,21 B"}));
}

namespace {
// A handler that runs test code when a widget leaves, is attached or is
// detached, to change the tree in the middle of a dispatch.
struct Hook : wvw::WInputHandler {
  std::function<void(wvw::Widget*)> leave, attach, detach, press;
  bool onPointerLeave(wvw::Widget* s) override { return run(leave, s); }
  // A press is handled, as by a handler that deletes the widget it was for.
  bool onButtonPress(int, wvw::Widget* s) override { return run(press, s) || press; }
  bool onAttach(wvw::Widget* s) override { return run(attach, s); }
  bool onDetach(wvw::Widget* s) override { return run(detach, s); }
  static bool run(const std::function<void(wvw::Widget*)>& f, wvw::Widget* s) {
    if (f)
      f(s);
    return false;
  }
};
} // namespace

// The child that the pointer moves onto is removed by the handler that hears
// the previous child being left: the removed child hears nothing more, and
// the layout takes the event as it does over an empty spot.
TEST(WLayout, TargetRemovedWhileThePreviousChildIsLeftGetsNoEvent) {
  Tree t;
  t.host.pointer(10, 10, 0); // over A only
  Hook hook;
  hook.leave = [&](wvw::Widget*) { t.root.removeChild(&t.b); };
  t.a.setInputHandler(&hook);
  t.rec.events.clear();
  t.host.pointer(80, 80, 1); // over B only
  EXPECT_EQ(t.b.getContainer(), nullptr);
  EXPECT_EQ(t.rec.events, (Events{"detach B", "move 80,80 L", "press 0 L"}));
  EXPECT_EQ(t.root.getGrabChild(), nullptr);
  t.host.pointer(81, 81, 0);
  EXPECT_EQ(t.rec.events,
            (Events{"detach B", "move 80,80 L", "press 0 L", "move 81,81 L", "release 0 L"}));
}

// Handlers that add or remove children while their layout attaches or
// detaches them: every child ends up attached (or detached) exactly once.
TEST(WLayout, ChildListChangedByHandlersDuringAttachAndDetach) {
  WLayout l;
  Patch a, b, c, d, e;
  RecordingHandler rec;
  Hook hook;
  std::vector<std::pair<wvw::Widget*, const char*>> named = {
      {&b, "B"}, {&c, "C"}, {&d, "D"}, {&e, "E"}};
  for (auto& n : named) {
    rec.name(n.first, n.second);
    n.first->setInputHandler(&rec);
  }
  rec.quiet = {"focus", "size"};
  hook.attach = [&](wvw::Widget* s) {
    if (s == &a) {
      l.addChild(&d);
      l.addChild(&e);
    }
  };
  hook.detach = [&](wvw::Widget* s) {
    if (s == &a)
      l.removeChild(&b);
  };
  a.setInputHandler(&hook);
  l.addChild(&a);
  l.addChild(&b);
  l.addChild(&c);
  WidgetTestHost host;
  host.attach(&l);
  EXPECT_EQ(rec.events, (Events{"attach D", "attach E", "attach B", "attach C"}));
  for (wvw::Widget* w :
       {(wvw::Widget*)&a, (wvw::Widget*)&b, (wvw::Widget*)&c, (wvw::Widget*)&d, (wvw::Widget*)&e})
    EXPECT_EQ(w->getParent(), &l);
  rec.events.clear();
  host.detach();
  EXPECT_EQ(rec.events, (Events{"detach B", "detach C", "detach D", "detach E"}));
  for (wvw::Widget* w :
       {(wvw::Widget*)&a, (wvw::Widget*)&b, (wvw::Widget*)&c, (wvw::Widget*)&d, (wvw::Widget*)&e})
    EXPECT_EQ(w->getParent(), nullptr);
  EXPECT_EQ(l.numChildren(), 4);
  for (auto& n : named)
    n.first->setInputHandler(nullptr);
  a.setInputHandler(nullptr);
}

// Removing the focused child when the focus moves on outside the layout (a
// host that has somewhere else to put it): the layout must not keep the
// removed child as its focused one, nor send it keys.
TEST(WLayout, RemovedFocusedChildKeepsNoFocusWhenTheHostMovesIt) {
  Tree t;
  t.b.setFocusable(false);
  ASSERT_EQ(t.root.getFocusChild(), &t.a);
  t.host.focusMoves = true;
  t.rec.quiet = {"attach", "size"};
  t.root.removeChild(&t.a);
  EXPECT_EQ(t.host.focusNextCalls, 1);
  EXPECT_EQ(t.root.getFocusChild(), nullptr);
  t.rec.events.clear();
  t.host.type('x');
  EXPECT_EQ(t.rec.events, (Events{"key 78 down L", "key 78 up L"}));
}

// A child placed at the far end of the int range: its rectangle ends at
// INT_MAX instead of wrapping round, for damage, pointer routing and paint.
TEST(WLayout, ChildAtTheEndOfTheIntRange) {
  Tree t;
  t.root.moveChild(&t.a, Point(INT_MAX - 5, INT_MAX - 20));
  EXPECT_EQ(t.root.getChildRect(&t.a), Rect(INT_MAX - 5, INT_MAX - 20, INT_MAX, INT_MAX));
  ASSERT_FALSE(t.host.invalidations.empty());
  // the new place lies wholly beyond the 16-bit range of damage regions
  EXPECT_EQ(boxesOf(t.host.invalidations.back()), "0,0,50,50");
  t.host.pointer(INT_MAX - 1, INT_MAX - 1, 0);
  EXPECT_EQ(t.rec.events, Events{"move 4,19 A"});
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::argb32, 100, 100);
  t.b.draws = t.a.draws = 0;
  t.host.paint(&pb);
  EXPECT_EQ(t.a.draws, 0);
  EXPECT_EQ(t.b.draws, 1);
  int w, h;
  t.root.getPreferredSize(&w, &h);
  EXPECT_EQ(w, INT_MAX);
  EXPECT_EQ(h, INT_MAX);
}

// A child destroyed while it is still in its layout (as a handler may delete
// the widget whose event it handles) leaves the layout: no focus, grab or
// popup pointer and no list entry is left behind to reach it.
TEST(WLayout, DestroyedChildLeavesItsLayout) {
  struct Case {
    const char* name;
    std::function<void(WLayout&, Patch*)> setUp;
  } cases[] = {
      {"child", [](WLayout& l, Patch* p) { l.addChild(p); }},
      {"popup", [](WLayout& l, Patch* p) { l.setPopup(p, Point(0, 0)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t;
    Patch* doomed = new Patch;
    c.setUp(t.root, doomed);
    doomed->setSize(30, 30);
    ASSERT_EQ(t.root.numChildren(), 3);
    Hook hook;
    hook.press = [&](wvw::Widget* s) {
      if (s == doomed)
        delete doomed;
    };
    doomed->setInputHandler(&hook);
    t.host.pointer(10, 10, 1); // focused, grabbing, and deleted by the press handler
    EXPECT_EQ(t.root.numChildren(), 2);
    EXPECT_NE(t.root.getFocusChild(), static_cast<wvw::Widget*>(doomed));
    EXPECT_EQ(t.root.getGrabChild(), nullptr);
    EXPECT_EQ(t.root.getPopup(), nullptr);
    t.rec.events.clear();
    t.host.pointer(12, 12, 0);
    t.host.type('x');
    rfb::ManagedPixelBuffer pb(rfb::PixelLayout::argb32, 100, 100);
    t.host.paint(&pb);
    // the drag that the deleted child held ends with the layout; then the
    // pointer reaches the child under it
    EXPECT_NE(std::find(t.rec.events.begin(), t.rec.events.end(), "move 12,12 A"),
              t.rec.events.end());
  }
}

namespace {
// Deletes a widget from inside one of its callbacks, then answers as told.
struct Deleter : wvw::WInputHandler {
  std::string when;    // the callback that deletes
  wvw::Widget* victim; // the widget deleted
  bool answer = false; // what that callback returns
  std::vector<std::string>* log = nullptr;
  bool hit(const std::string& what) {
    if (log)
      log->push_back(what);
    if (what != when || !victim)
      return false;
    wvw::Widget* v = victim;
    victim = nullptr;
    delete v;
    return answer;
  }
  bool onPointerMove(const rfb::Point&, wvw::Widget*) override { return hit("move"); }
  bool onButtonPress(int b, wvw::Widget*) override { return hit("press " + std::to_string(b)); }
  bool onButtonRelease(int b, wvw::Widget*) override { return hit("release " + std::to_string(b)); }
  bool onPointerLeave(wvw::Widget*) override { return hit("leave"); }
  bool onKey(uint32_t, bool down, wvw::Widget*) override { return hit(down ? "key" : "keyup"); }
  bool onFocusChange(bool, wvw::Widget* s) override {
    return hit(s->hasFocus() ? "focus in" : "focus out");
  }
  bool onAttach(wvw::Widget*) override { return hit("attach"); }
  bool onDetach(wvw::Widget*) override { return hit("detach"); }
};
} // namespace

// A handler may delete the widget whose event it is handling, or the layout
// holding it, whatever it answers: the dispatch stops there and nothing
// reaches the deleted widgets afterwards.
TEST(WLayout, HandlerDeletingItsWidgetDuringDispatch) {
  struct Case {
    const char* when;
    bool answer;
    bool deleteLayout; // the inner layout holding the widget, not the widget
    std::vector<std::array<int, 3>> pointer;
    std::vector<uint32_t> keys;
    std::vector<std::string> heard;
    bool reattach = false; // the host detaches the tree and attaches it again
    bool removeP = false;  // then p, focused, is removed from its layout
    bool refocus = false;  // then the host window loses and regains the focus
  } cases[] = {
      {"press 0", false, false, {{5, 5, 3}}, {}, {"move", "focus in", "press 0"}},
      {"press 0", true, false, {{5, 5, 3}}, {}, {"move", "focus in", "press 0"}},
      {"focus in", false, false, {{5, 5, 1}}, {}, {"move", "focus in"}},
      {"move", false, false, {{5, 5, 1}}, {}, {"move"}},
      {"release 0",
       false,
       false,
       {{5, 5, 1}, {6, 6, 2}},
       {},
       {"move", "focus in", "press 0", "move", "release 0"}},
      {"leave", false, false, {{5, 5, 0}, {90, 90, 0}}, {}, {"move", "leave"}},
      {"key",
       false,
       false,
       {{5, 5, 1}, {5, 5, 0}},
       {rfb::keys::Tab, 'x'},
       {"move", "focus in", "press 0", "release 0", "key"}},
      {"release 0",
       true,
       true,
       {{5, 5, 1}, {6, 6, 0}, {7, 7, 0}},
       {},
       {"move", "focus in", "press 0", "move", "release 0"}},
      {"leave", false, true, {{5, 5, 0}, {90, 90, 0}}, {}, {"move", "leave"}},
      {"key",
       false,
       true,
       {{5, 5, 1}, {5, 5, 0}},
       {rfb::keys::Tab, 'x'},
       {"move", "focus in", "press 0", "release 0", "key"}},
      {"detach", false, false, {}, {}, {"detach"}, true},
      {"detach", false, true, {}, {}, {"detach"}, true},
      {"attach", false, false, {}, {}, {"detach", "attach"}, true},
      {"attach", false, true, {}, {}, {"detach", "attach"}, true},
      {"focus out",
       false,
       false,
       {{5, 5, 1}, {5, 5, 0}},
       {},
       {"move", "focus in", "press 0", "release 0", "focus out"},
       false,
       true},
      {"focus out",
       false,
       true,
       {{5, 5, 1}, {5, 5, 0}},
       {},
       {"move", "focus in", "press 0", "release 0", "focus out"},
       false,
       true},
      {"focus in", false, true, {}, {}, {"focus out", "focus in"}, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.when << (c.deleteLayout ? " deletes the layout" : ""));
    Patch q; // holds the focus until p is pressed (unless it refuses it)
    WLayout root;
    root.setSize(100, 100);
    WidgetTestHost host;
    host.attach(&root);
    WLayout* inner = new WLayout;
    root.addChildSized(inner, Rect(0, 0, 50, 50));
    q.setFocusable(!c.refocus);
    inner->addChild(&q);
    Patch* p = new Patch;
    inner->addChildSized(p, Rect(0, 0, 50, 50));
    std::vector<std::string> heard;
    Deleter d;
    d.when = c.when;
    d.answer = c.answer;
    d.log = &heard;
    d.victim = c.deleteLayout ? static_cast<wvw::Widget*>(inner) : p;
    p->setInputHandler(&d);
    host.focusIn();
    heard.clear();
    for (const auto& e : c.pointer)
      host.pointer(e[0], e[1], e[2]);
    for (uint32_t k : c.keys)
      host.type(k);
    if (c.reattach) {
      host.detach();
      host.attach(&root);
    }
    if (c.removeP)
      inner->removeChild(p);
    if (c.refocus) {
      host.focusOut();
      host.focusIn();
    }
    EXPECT_EQ(d.victim, nullptr);
    EXPECT_EQ(heard, c.heard);
    if (c.deleteLayout) {
      EXPECT_EQ(root.numChildren(), 0);
      delete p;
    } else {
      EXPECT_EQ(inner->numChildren(), 1);
      delete inner;
    }
    host.pointer(1, 1, 0);
    host.type('y');
  }
}

// Children may outlive their layout, attached or not: they are let go of,
// and no longer reach it. The destroyed layout leaves its own layout too.
TEST(WLayout, ChildrenOutlivingTheirLayoutAreLetGo) {
  Patch p, q;
  WLayout outer;
  WidgetTestHost host;
  host.attach(&outer);
  WLayout* inner = new WLayout;
  outer.addChild(inner);
  inner->addChild(&p);
  inner->setSize(50, 50);
  ASSERT_EQ(p.getParent(), inner);
  WLayout* detached = new WLayout;
  detached->addChild(&q);
  delete inner;
  delete detached;
  EXPECT_EQ(outer.numChildren(), 0);
  for (Patch* w : {&p, &q}) {
    EXPECT_EQ(w->getContainer(), nullptr);
    EXPECT_EQ(w->getParent(), nullptr);
    w->setSize(5, 5); // would report damage to the destroyed layout
    w->takeFocus();
  }
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
  t.host.held.insert(rfb::keys::Control_L);
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

// Hiding or disabling the focused child when the host answers that the focus
// moved on: the child lets go of the focus (and hears so) and gets no more
// keys, directly in the root layout or in a nested one.
TEST(WLayout, HiddenOrDisabledFocusedChildLetsGoWhenTheHostMovesTheFocus) {
  struct Case {
    const char* name;
    bool nested;
    std::function<void(wvw::Widget&)> takeAway;
  } cases[] = {
      {"hidden", false, [](wvw::Widget& w) { w.setVisible(false); }},
      {"disabled", false, [](wvw::Widget& w) { w.setEnabled(false); }},
      {"hidden in a nested layout", true, [](wvw::Widget& w) { w.setVisible(false); }},
      {"disabled in a nested layout", true, [](wvw::Widget& w) { w.setEnabled(false); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t;
    WLayout inner;
    Patch x;
    wvw::Widget* victim = &t.b;
    if (c.nested) {
      t.root.addChild(&inner);
      inner.addChild(&x);
      t.rec.name(&x, "X");
      x.setInputHandler(&t.rec);
      victim = &x;
    }
    t.root.setFocus(c.nested ? static_cast<wvw::Widget*>(&inner) : &t.b);
    ASSERT_TRUE(victim->hasFocus());
    t.host.focusMoves = true;
    t.rec.quiet = {"attach", "size", "visibility", "enabled"};
    t.rec.events.clear();
    c.takeAway(*victim);
    EXPECT_EQ(t.host.focusNextCalls, 1);
    EXPECT_FALSE(victim->hasFocus());
    EXPECT_NE(t.root.getFocusChild(), victim);
    EXPECT_NE(inner.getFocusChild(), victim);
    EXPECT_EQ(t.rec.events, (Events{"focus out " + t.rec.nameOf(victim)}));
    t.rec.events.clear();
    t.host.type('x');
    for (const std::string& e : t.rec.events)
      EXPECT_NE(e.substr(e.rfind(' ') + 1), t.rec.nameOf(victim)) << e;
    x.setInputHandler(nullptr);
    if (c.nested)
      t.root.removeChild(&inner);
  }
}

// A widget added to a second layout, or twice to one, is in one list only:
// deleting it afterwards leaves no entry behind in any layout for drawing,
// pointer or focus to reach.
TEST(WLayout, WidgetAddedAgainIsInOneLayoutOnly) {
  struct Case {
    const char* name;
    bool sameLayout;
  } cases[] = {{"second layout", false}, {"same layout twice", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t;
    WLayout other;
    t.root.addChildSized(&other, Rect(0, 60, 100, 100));
    Patch* p = new Patch;
    t.root.addChildSized(p, Rect(60, 0, 90, 30));
    WLayout& second = c.sameLayout ? t.root : other;
    second.addChildSized(p, Rect(0, 0, 30, 30));
    EXPECT_EQ(p->getContainer(), &second);
    EXPECT_EQ(t.root.numChildren(), c.sameLayout ? 4 : 3);
    EXPECT_EQ(other.numChildren(), c.sameLayout ? 0 : 1);
    EXPECT_EQ(second.getChildPosition(p), Point(0, 0));
    delete p;
    EXPECT_EQ(t.root.numChildren(), 3);
    EXPECT_EQ(other.numChildren(), 0);
    rfb::ManagedPixelBuffer pb(rfb::PixelLayout::argb32, 100, 100);
    t.host.paint(&pb); // ASan reports a deleted child being drawn
    t.host.pointer(65, 5, 0);
    t.host.pointer(5, 65, 1);
    t.host.pointer(5, 65, 0);
    t.host.type(rfb::keys::Tab);
  }
}

// Adding a focused child to another layout is a removal from its own
// layout: that layout lets go of the focus.
TEST(WLayout, MovingFocusedChildToAnotherLayoutReleasesFocus) {
  Tree t;
  WLayout other;
  t.a.takeFocus();
  ASSERT_EQ(t.root.getFocusChild(), &t.a);
  other.addChild(&t.a);
  EXPECT_EQ(t.root.getFocusChild(), &t.b);
  EXPECT_EQ(t.a.getContainer(), &other);
  EXPECT_EQ(t.a.getParent(), nullptr); // other is detached
  other.removeChild(&t.a);
}

// Deleting the focused child moves the focus on at once, as a removal does:
// the child that took its place (wrapping round) has the focus and was told,
// and the next key moves the focus on from there, so Tab still goes round
// the remaining children.
TEST(WLayout, DeletingFocusedChildLetsFocusMoveOn) {
  struct Case {
    const char* name;
    int deleted;       // index of the focused child that is deleted
    int focusedAtOnce; // index of the child focused right after the deletion
    uint32_t key;      // then pressed
    bool shift;        // with Shift held
    int focusedAfter;  // index among the children of the tree
  } cases[] = {
      {"Tab from the middle", 1, 2, rfb::keys::Tab, false, 3},
      {"Tab from the last wraps", 3, 0, rfb::keys::Tab, false, 1},
      {"Shift+Tab from the middle", 1, 2, rfb::keys::Tab, true, 0},
      {"Down from the first", 0, 1, rfb::keys::Down, false, 2},
      {"Up from the first wraps", 0, 1, rfb::keys::Up, false, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t;
    // Children A, B, then four more patches in a row: 0..3 are the focusable
    // ones after A and B are made unfocusable.
    t.a.setFocusable(false);
    t.b.setFocusable(false);
    std::vector<Patch*> ps;
    RecordingHandler told;
    for (int i = 0; i < 4; i++) {
      ps.push_back(new Patch);
      t.root.addChildSized(ps.back(), Rect(10 * i, 95, 10 * i + 10, 100));
      told.name(ps.back(), std::to_string(i).c_str());
      ps.back()->setInputHandler(&told);
    }
    ps[size_t(c.deleted)]->takeFocus();
    ASSERT_EQ(t.root.getFocusChild(), ps[size_t(c.deleted)]);
    told.events.clear();
    delete ps[size_t(c.deleted)];
    ps[size_t(c.deleted)] = nullptr;
    wvw::Widget* atOnce = ps[size_t(c.focusedAtOnce)];
    EXPECT_EQ(t.root.getFocusChild(), atOnce);
    EXPECT_TRUE(atOnce->hasFocus());
    EXPECT_EQ(told.events, std::vector<std::string>{"focus in " + std::to_string(c.focusedAtOnce)});
    if (c.shift)
      t.host.held.insert(rfb::keys::Shift_L);
    t.host.type(c.key);
    t.host.held.clear();
    wvw::Widget* expected = ps[size_t(c.focusedAfter)];
    EXPECT_EQ(t.root.getFocusChild(), expected);
    EXPECT_TRUE(expected->hasFocus());
    for (Patch* p : ps)
      delete p;
  }
}

// The last focusable child deleted leaves the layout without a focused
// child, as a removal does; keys then go to the layout itself.
TEST(WLayout, DeletingOnlyFocusableChildLeavesNoFocus) {
  Tree t;
  t.a.setFocusable(false);
  t.b.setFocusable(false);
  Patch* doomed = new Patch;
  t.root.addChild(doomed);
  doomed->takeFocus();
  ASSERT_EQ(t.root.getFocusChild(), doomed);
  delete doomed;
  EXPECT_EQ(t.root.getFocusChild(), nullptr);
  t.host.type(rfb::keys::Tab);
  EXPECT_EQ(t.root.getFocusChild(), nullptr);
}

// In a layout that is not attached the focus lost by deletion moves on when
// the layout is asked to move it, and a focus set meanwhile wins.
TEST(WLayout, FocusLostByDeletionInDetachedLayoutMovesOnOnRequest) {
  WLayout inner;
  Patch first;
  Patch* doomed = new Patch;
  Patch after;
  inner.addChild(&first);
  inner.addChild(doomed);
  inner.addChild(&after);
  inner.setFocus(doomed);
  ASSERT_EQ(inner.getFocusChild(), doomed);
  delete doomed;
  EXPECT_EQ(inner.getFocusChild(), nullptr);
  EXPECT_TRUE(inner.focusNext());
  EXPECT_EQ(inner.getFocusChild(), &after);

  doomed = new Patch;
  inner.addChild(doomed, &after);
  inner.setFocus(doomed);
  delete doomed;
  inner.setFocus(&first);
  EXPECT_TRUE(inner.focusNext()); // from the first, not from where the deleted child was
  EXPECT_EQ(inner.getFocusChild(), &after);
}
