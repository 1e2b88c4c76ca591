// Check boxes: toggling by click, by space and by the label, focus and
// looks.
#include "wvw/WCheckBox.h"

#include "rfb/KeysymNames.h"
#include "wvw/WCanvas.h"
#include "wvw/WLabelCheckBox.h"

#include "GoldenImage.h"
#include "RecordingHandler.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using rfb::Rect;
using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;
using Events = std::vector<std::string>;

namespace keys = rfb::keys;

namespace {

// A labelled check box 200 x 20 at (0, 0): the box is the right half.
struct Tree {
  Tree() : box("Option", false) {
    root.addChildSized(&box, Rect(0, 0, 200, 20));
    root.setSize(200, 40);
    rec.name(box.getCheckBox(), "box");
    rec.only = box.getCheckBox();
    rec.quiet = {"move", "leave", "press", "release", "focus", "key", "attach", "size", "change"};
    box.getCheckBox()->setInputHandler(&rec);
    host.attach(&root);
    host.focusIn();
  }
  wvw::WCanvas root;
  wvw::WLabelCheckBox box;
  RecordingHandler rec;
  WidgetTestHost host;
};

} // namespace

TEST(WCheckBox, ClickToggles) {
  Tree t;
  wvw::WCheckBox* cb = t.box.getCheckBox();
  EXPECT_EQ(t.box.getChildRect(cb), Rect(100, 0, 200, 20));
  EXPECT_EQ(cb->getChildRect(cb->getCheck()), Rect(3, 5, 13, 15));
  t.host.pointer(105, 10, 1);
  t.host.pointer(105, 10, 0);
  EXPECT_TRUE(cb->isChecked());
  EXPECT_TRUE(cb->hasFocus());
  EXPECT_EQ(t.rec.events, Events{"click box"});
  t.host.pointer(105, 10, 1);
  t.host.pointer(105, 10, 0);
  EXPECT_FALSE(cb->isChecked());
}

TEST(WCheckBox, SpaceToggles) {
  Tree t;
  wvw::WCheckBox* cb = t.box.getCheckBox();
  cb->takeFocus();
  t.host.press(' ');
  EXPECT_TRUE(cb->isPressed());
  EXPECT_FALSE(cb->isChecked());
  t.host.press(' '); // auto-repeat changes nothing
  t.host.release(' ');
  EXPECT_FALSE(cb->isPressed());
  EXPECT_TRUE(cb->isChecked());
  EXPECT_EQ(t.rec.events, Events{"click box"});
  t.host.type(keys::Return); // not a check-box key
  EXPECT_TRUE(cb->isChecked());
  t.host.release(' '); // a release without its press
  EXPECT_TRUE(cb->isChecked());
}

TEST(WCheckBox, RadioBoxUnchecks) {
  Tree t;
  wvw::WCheckBox* cb = t.box.getCheckBox();
  cb->getCheck()->setRadio(true);
  cb->setChecked(true);
  t.host.pointer(105, 10, 1);
  t.host.pointer(105, 10, 0);
  EXPECT_FALSE(cb->isChecked());
}

TEST(WLabelCheckBox, LabelTogglesWithTheFirstButtonOnly) {
  Tree t;
  wvw::WCheckBox* cb = t.box.getCheckBox();
  t.host.pointer(20, 10, 1);
  t.host.pointer(20, 10, 0);
  EXPECT_TRUE(cb->isChecked());
  for (int mask : {8, 16, 2, 4}) {
    t.host.pointer(20, 10, mask);
    t.host.pointer(20, 10, 0);
  }
  EXPECT_TRUE(cb->isChecked());
  t.box.setEnabled(false);
  t.host.pointer(20, 10, 1);
  t.host.pointer(20, 10, 0);
  EXPECT_TRUE(cb->isChecked());
}

TEST(WCheckBox, Looks) {
  wvw::WCanvas root;
  wvw::WLabelCheckBox a("Plain", false), b("Checked", true), c("Radio", true);
  c.getCheckBox()->getCheck()->setRadio(true);
  for (wvw::WLabelCheckBox* x : {&a, &b, &c})
    x->setProportions(0, 0);
  root.addChildSized(&a, Rect(2, 2, 102, 22));
  root.addChildSized(&b, Rect(2, 24, 102, 44));
  root.addChildSized(&c, Rect(2, 46, 102, 66));
  root.setSize(104, 68);
  WidgetTestHost host;
  host.attach(&root);
  host.focusIn();
  b.getCheckBox()->takeFocus();
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  EXPECT_TRUE(matchesGolden(pb, "check-boxes"));
}

// A check box acts only on a release that ends a press it received itself:
// drags that begin elsewhere toggle nothing.
TEST(WLabelCheckBox, DragsFromElsewhereToggleNothing) {
  struct Step {
    int x, y, mask;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    bool checked;
  } cases[] = {
      {"from the background onto the box", {{150, 30, 1}, {150, 10, 1}, {150, 10, 0}}, false},
      {"from the background onto the label", {{20, 30, 1}, {20, 10, 1}, {20, 10, 0}}, false},
      // the label toggles on its press; the release on the box adds nothing
      {"from the label onto the box", {{20, 10, 1}, {150, 10, 1}, {150, 10, 0}}, true},
      {"from the box onto the label", {{150, 10, 1}, {20, 10, 1}, {20, 10, 0}}, false},
      {"a click on the box after a drag",
       {{20, 30, 1}, {150, 10, 0}, {150, 10, 1}, {150, 10, 0}},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t;
    for (const Step& s : c.steps)
      t.host.pointer(s.x, s.y, s.mask);
    EXPECT_EQ(t.box.getCheckBox()->isChecked(), c.checked);
  }
}
