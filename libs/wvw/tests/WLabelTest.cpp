// Labels: line breaking, alignment, painting, and the marked-up label's links.
#include "wvw/WLabel.h"

#include "wvw/FontProp.h"
#include "wvw/Style.h"
#include "wvw/WLabelMarkedUp.h"
#include "wvw/WLabelWidget.h"
#include "wvw/WLayout.h"

#include "CaptureLogger.h"
#include "GoldenImage.h"
#include "PixelProbe.h"
#include "RecordingHandler.h"
#include "TestWidgets.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;
using wvw::Widget;
using Lines = std::vector<std::string>;

namespace {

// A canvas for tests: paints the background, then its children.
class Back : public wvw::WLayout {
public:
  void draw(rfb::WritablePixelBuffer* pb) override {
    pb->fillRect(Rect(0, 0, width(), height()), wvw::colourToPixel(getStyle()->background, pb));
    WLayout::draw(pb);
  }
};

struct Clicks : plat::MarkUp::LinkCallback {
  void linkClicked(int link) override { links.push_back(link); }
  std::vector<int> links;
};

// The centre of the first run of a link.
Point linkPoint(wvw::WLabelMarkedUp& l, int link) {
  for (const auto& r : l.getRuns())
    if (r.link == link)
      return Point((r.rect.tl.x + r.rect.br.x) / 2, (r.rect.tl.y + r.rect.br.y) / 2);
  ADD_FAILURE() << "no run of link " << link;
  return Point();
}

} // namespace

// The 8 x 16 font makes every character 8 pixels wide.
TEST(WLabel, WordWrapTable) {
  struct Case {
    const char* text;
    int width;
    bool wrap;
    Lines lines;
  } cases[] = {
      {"one two three", 56, true, {"one two", "three"}},
      {"one two  three", 56, true, {"one two", "three"}},
      {"one two three", 200, true, {"one two three"}},
      {"a\n\nb", 100, true, {"a", "", "b"}},
      {"a\n\nb", 100, false, {"a\n\nb"}},
      {"one two three", 0, true, {"one two three"}},
      {"aaaa bbbbbbbbbb cc", 40, true, {"aaaa", "bbbbbbbbbb", "cc"}},
      {"tab\tbreaks here", 40, true, {"tab", "breaks", "here"}},
      {"", 40, true, {""}},
      {"trailing\n", 100, true, {"trailing", ""}},
      {"\xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9", 40, true, {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    wvw::WLabel l(c.text);
    l.setMargin(0);
    l.setWordWrap(c.wrap);
    l.setSize(c.width, 40);
    EXPECT_EQ(l.getLines(), c.lines);
  }
  wvw::WLabel none;
  EXPECT_TRUE(none.getLines().empty());
  EXPECT_EQ(none.getText(), nullptr);
}

TEST(WLabel, MarginNarrowsTheLine) {
  wvw::WLabel l("one two three");
  l.setSize(56 + 8, 40); // margin 4 on each side
  EXPECT_EQ(l.getLines(), (Lines{"one two", "three"}));
  int w, h;
  l.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 56 + 8);
  EXPECT_EQ(h, 32);
}

TEST(WLabel, SameTextDoesNotRepaint) {
  wvw::WLabel l("hello");
  WidgetTestHost host;
  host.attach(&l);
  l.setSize(80, 20);
  host.invalidations.clear();
  l.setText("hello");
  EXPECT_TRUE(host.invalidations.empty());
  l.setText("world");
  EXPECT_EQ(host.invalidations.size(), 1u);
  l.setText(nullptr);
  EXPECT_EQ(l.getText(), nullptr);
  host.invalidations.clear();
  l.setText(nullptr);
  EXPECT_TRUE(host.invalidations.empty());
}

TEST(WLabel, AlignmentPlacesTheText) {
  struct Case {
    int h, v;
    Rect box; // of the text's pixels, within the glyph cells
  } cases[] = {
      {0, 0, Rect(4, 4, 28, 20)},
      {1, 1, Rect(38, 12, 62, 28)},
      {2, 2, Rect(72, 20, 96, 36)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.h);
    wvw::WLabel l("III");
    l.setAlignment(c.h, c.v);
    l.setSize(100, 40);
    rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, 100, 40);
    l.draw(&pb);
    Rect box = boxOf(pb, Widget::Black);
    EXPECT_FALSE(box.isEmpty());
    EXPECT_EQ(box.intersect(c.box), box) << box.tl.x << "," << box.tl.y;
    // a transparent label leaves the background alone
    pb.fillRect(pb.getRect(), 0x123456);
    l.setTransparent(true);
    l.draw(&pb);
    EXPECT_EQ(pb.getPixel(Point(0, 0)), 0x123456u);
  }
}

// Accented capitals reach above the line in the proportional fonts; a label
// whose height is its preferred height must still show every pixel of them.
TEST(WLabel, AccentedCapitalsStayInsideTheLabel) {
  const wvw::FontProp::Glyph& g = wvw::FontProp::helv15_u.glyph(0xC9);
  if (g.yOffset < 0)
    GTEST_SKIP() << "the proportional font still places accents above its line";
  wvw::Style style = *Widget::getDefaultStyle();
  style.font = &wvw::FontProp::helv15_u;
  wvw::WLabel l("\xC3\x89");
  l.setStyle(&style);
  l.setMargin(0);
  int w, h;
  l.getPreferredSize(&w, &h);
  l.setSize(w, h);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, w, h);
  l.draw(&pb);
  rfb::ManagedPixelBuffer glyph(rfb::PixelLayout::xrgb32LittleEndian, 40, 40);
  glyph.fillRect(glyph.getRect(), 0xFFFFFF);
  style.font->drawGlyph(&glyph, 0xC9, Point(10, 10), 0);
  EXPECT_EQ(countColour(pb, Widget::Black), countColour(glyph, Widget::Black));
}

TEST(WLabel, DisabledTextIsGrey) {
  wvw::WLabel l("abc");
  WidgetTestHost host;
  host.attach(&l);
  l.setSize(40, 20);
  host.invalidations.clear();
  l.setEnabled(false);
  EXPECT_EQ(host.invalidations.size(), 1u);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, 40, 20);
  l.draw(&pb);
  EXPECT_EQ(countColour(pb, Widget::Black), 0);
  EXPECT_GT(countColour(pb, Widget::TextDisabled), 0);
}

TEST(WLabelMarkedUp, RunsTakeTheirFontsAndLinks) {
  wvw::WLabelMarkedUp l(nullptr, "plain ^bbold^n ^uunder^n ^1{link^}");
  l.setMargin(0);
  l.setSize(400, 20);
  const auto& runs = l.getRuns();
  ASSERT_EQ(runs.size(), 6u);
  EXPECT_EQ(runs[0].text, "plain ");
  EXPECT_EQ(runs[1].text, "bold");
  EXPECT_EQ(runs[1].font, &wvw::FontProp::helvB15_u);
  EXPECT_FALSE(runs[1].underline);
  EXPECT_TRUE(runs[3].underline);
  EXPECT_EQ(runs[5].text, "link");
  EXPECT_EQ(runs[5].link, 1);
  EXPECT_TRUE(runs[5].underline);
  // runs follow one another on the line
  for (size_t i = 1; i < runs.size(); i++)
    EXPECT_EQ(runs[i].rect.tl.x, runs[i - 1].rect.br.x);
  int w, h;
  l.getPreferredSize(&w, &h);
  EXPECT_EQ(w, runs.back().rect.br.x);
  EXPECT_EQ(h, 16);
}

TEST(WLabelMarkedUp, LinesAreAligned) {
  wvw::WLabelMarkedUp l(nullptr, "ab\nabcd", 1);
  l.setMargin(0);
  l.setSize(100, 32);
  const auto& runs = l.getRuns();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].rect.tl, Point((100 - 16) / 2, 0));
  EXPECT_EQ(runs[1].rect.tl, Point((100 - 32) / 2, 16));
  l.setAlignment(2, 2);
  EXPECT_EQ(runs[1].rect.tl, Point(100 - 32, 16));
}

TEST(WLabelMarkedUp, MalformedMarkUpShowsTheStrippedText) {
  testing_support::ScopedCapture capture("WLabelMarkedUp", 0);
  struct Case {
    const char* text;
    std::string shown;
  } cases[] = {
      {"^bbad^x end", "badx end"},
      {"^12 no brace ^^", " no brace ^"},
      {"margin ^mz", "margin "},
      {"ends in a caret ^", "ends in a caret "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    wvw::WLabelMarkedUp l(nullptr, c.text);
    l.setSize(400, 20);
    std::string shown;
    for (const auto& r : l.getRuns()) {
      shown += r.text;
      EXPECT_EQ(r.link, 0);
    }
    EXPECT_EQ(shown, c.shown);
  }
  EXPECT_TRUE(capture.logger.contains("Bad mark-up in a label's text"));
}

namespace {
struct LinkTree {
  LinkTree() : label(&clicks, "see ^1{one^} or ^2{two^} or ^300{three^}") {
    label.setMargin(0);
    root.addChildSized(&label, Rect(10, 10, 400, 30));
    rec.name(&label, "label");
    rec.name(&root, "root");
    label.setInputHandler(&rec);
    host.attach(&root);
  }
  // A point of a link in the root's coordinates.
  Point at(int link) { return linkPoint(label, link).translate(Point(10, 10)); }
  Clicks clicks;
  wvw::WLabelMarkedUp label;
  Back root;
  RecordingHandler rec;
  WidgetTestHost host;
};
} // namespace

TEST(WLabelMarkedUp, HoverRepaintsOncePerChange) {
  LinkTree t;
  t.host.pointer(t.at(1).x, t.at(1).y, 0);
  EXPECT_EQ(t.label.getHoverLink(), 1);
  t.host.invalidations.clear();
  t.host.pointer(t.at(1).x + 1, t.at(1).y, 0);
  EXPECT_TRUE(t.host.invalidations.empty());
  t.host.pointer(t.at(2).x, t.at(2).y, 0);
  EXPECT_EQ(t.label.getHoverLink(), 2);
  EXPECT_EQ(t.host.invalidations.size(), 1u);
  t.host.pointer(2, 2, 0); // off the label
  EXPECT_EQ(t.label.getHoverLink(), 0);
  EXPECT_EQ(t.host.invalidations.size(), 2u);
}

TEST(WLabelMarkedUp, ClickTable) {
  struct Step {
    int link; // where the pointer is: a link, 0 plain text, -1 off the label
    int mask;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<int> clicked;
  } cases[] = {
      {"click on a link", {{1, 0}, {1, 1}, {1, 0}}, {1}},
      {"a link number beyond 255 stays whole", {{300, 0}, {300, 1}, {300, 0}}, {300}},
      {"press, move off the label, release", {{1, 0}, {1, 1}, {-1, 1}, {-1, 0}}, {}},
      {"press on one link, release on another", {{1, 0}, {1, 1}, {2, 1}, {2, 0}}, {}},
      {"the wheel clicks nothing", {{1, 0}, {1, 8}, {1, 0}, {1, 16}, {1, 0}}, {}},
      {"the middle button clicks nothing", {{1, 0}, {1, 2}, {1, 0}}, {}},
      {"a drag from the background onto a link", {{-1, 0}, {-1, 1}, {1, 1}, {1, 0}}, {}},
      {"a drag from plain text onto a link", {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkTree t;
    for (const Step& s : c.steps) {
      Point p = s.link > 0 ? t.at(s.link) : s.link == 0 ? Point(12, 15) : Point(3, 3);
      t.host.pointer(p.x, p.y, s.mask);
    }
    EXPECT_EQ(t.clicks.links, c.clicked);
  }
}

TEST(WLabelMarkedUp, PressOnALinkIsConsumedAndTakesNoFocus) {
  RecordingHandler rootRec;
  LinkTree t;
  rootRec.name(&t.label, "label");
  t.root.setInputHandler(&rootRec);
  t.host.pointer(t.at(1).x, t.at(1).y, 0);
  t.rec.events.clear();
  rootRec.events.clear();
  t.host.pointer(t.at(1).x, t.at(1).y, 1);
  EXPECT_TRUE(t.rec.events.empty());
  EXPECT_TRUE(rootRec.events.empty());
  EXPECT_TRUE(t.host.focusRequests.empty());
  t.host.pointer(t.at(1).x, t.at(1).y, 0);
  // on plain text the press is passed on as usual
  Point p = t.label.getRuns()[0].rect.tl.translate(Point(10 + 12, 10 + 5));
  t.host.pointer(p.x, p.y, 0);
  rootRec.events.clear();
  t.host.pointer(p.x, p.y, 1);
  EXPECT_EQ(rootRec.events, (std::vector<std::string>{"press 0 label"}));
  t.root.setInputHandler(nullptr);
}

TEST(WLabelMarkedUp, DisabledLabelClicksNoLink) {
  LinkTree t;
  t.host.pointer(t.at(1).x, t.at(1).y, 0);
  t.host.pointer(t.at(1).x, t.at(1).y, 1);
  t.label.setEnabled(false);
  t.host.pointer(t.at(1).x, t.at(1).y, 0);
  EXPECT_TRUE(t.clicks.links.empty());
  EXPECT_EQ(t.label.getHoverLink(), 0);
}

TEST(WLabelWidget, SharesTheWidth) {
  Patch p;
  struct Case {
    int labelShare, widgetShare;
    bool right;
    Rect label, widget;
  } cases[] = {
      {1, 3, false, Rect(0, 0, 25, 20), Rect(25, 0, 100, 20)},
      {1, 3, true, Rect(75, 0, 100, 20), Rect(0, 0, 75, 20)},
      {0, 0, false, Rect(0, 0, 100, 20), Rect(100, 0, 100, 20)},
      {INT_MAX, INT_MAX, false, Rect(0, 0, 50, 20), Rect(50, 0, 100, 20)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.labelShare);
    wvw::WLabelWidget lw("Name", c.labelShare, c.widgetShare);
    lw.setWidget(&p);
    lw.setLabelRight(c.right);
    lw.setSize(100, 20);
    EXPECT_EQ(lw.getChildRect(lw.getLabel()), c.label);
    EXPECT_EQ(lw.getChildRect(&p), c.widget);
    lw.setWidget(nullptr);
  }
}

TEST(WLabelWidget, PreferredProportionsAndEnabledState) {
  Patch p;                            // prefers 10 x 10
  wvw::WLabelWidget lw("Name", 1, 1); // 4 characters + margins: 40 x 16
  lw.setWidget(&p);
  int w, h;
  lw.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 50);
  EXPECT_EQ(h, 16);
  lw.setSize(100, 16);
  lw.setProportions(0, 0);
  EXPECT_EQ(lw.getChildRect(lw.getLabel()), Rect(0, 0, 80, 16));
  lw.setEnabled(false);
  EXPECT_FALSE(lw.getLabel()->isEnabled());
  EXPECT_FALSE(p.isEnabled());
  lw.setText("Other");
  EXPECT_STREQ(lw.getLabel()->getText(), "Other");
}

TEST(WLabel, GoldenImage) {
  Back root;
  wvw::WLabel left("Left aligned text that wraps at the width", 0);
  wvw::WLabel centre("Centred\ntwo lines", 1);
  wvw::WLabel right("Right", 2);
  wvw::WLabel disabled("Disabled", 0);
  disabled.setEnabled(false);
  root.addChildSized(&left, Rect(4, 4, 164, 56));
  root.addChildSized(&centre, Rect(168, 4, 268, 56));
  root.addChildSized(&right, Rect(272, 4, 372, 56));
  root.addChildSized(&disabled, Rect(4, 60, 104, 80));
  root.setSize(376, 84);
  WidgetTestHost host;
  host.attach(&root);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  EXPECT_TRUE(matchesGolden(pb, "labels"));
}

// In the proportional fonts, as dialogs show marked-up texts.
TEST(WLabelMarkedUp, GoldenImage) {
  Back root;
  Clicks clicks;
  wvw::WLabelMarkedUp marked(&clicks,
                             "Plain, ^bbold^n, ^uunderlined^n and a ^1{link^} or "
                             "^2{hovered link^}.\n\xC3\x89t\xC3\xA9 caf\xC3\xA9 ^^ caret",
                             0);
  wvw::WLabelMarkedUp markedOff(&clicks, "Disabled ^1{link^}", 0);
  markedOff.setEnabled(false);
  wvw::Style prop = *Widget::getDefaultStyle();
  prop.font = &wvw::FontProp::helv15_u;
  marked.setStyle(&prop);
  markedOff.setStyle(&prop);
  root.addChildSized(&markedOff, Rect(4, 4, 372, 24));
  root.addChildSized(&marked, Rect(4, 28, 372, 84));
  root.setSize(376, 88);
  WidgetTestHost host;
  host.attach(&root);
  Point hover = linkPoint(marked, 2).translate(Point(4, 28));
  host.pointer(hover.x, hover.y, 0);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  EXPECT_TRUE(matchesGolden(pb, "labels-marked-up"));
}
