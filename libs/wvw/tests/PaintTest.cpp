// Painting a widget tree into a pixel buffer, compared with a golden image.
#include "wvw/FontProp.h"
#include "wvw/Style.h"
#include "wvw/WLayout.h"

#include "rfb/ManagedPixelBuffer.h"

#include "PngFile.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using wvw::Widget;

namespace {

// A panel: background, a raised or sunken bevel, and the focus outline when
// focused.
class Panel : public wvw::WLayout {
public:
  explicit Panel(bool sunken) : sunken_(sunken) {}
  void draw(rfb::WritablePixelBuffer* pb) override {
    Rect r(0, 0, width(), height());
    pb->fillRect(r, wvw::colourToPixel(getStyle()->background, pb));
    drawBevel(pb, r, sunken_, false);
    WLayout::draw(pb);
  }

private:
  bool sunken_;
};

// A line of text in the style's font, with a round bevel before it.
class Text : public Widget {
public:
  Text(const char* text, wvw::Font* font) : text_(text), font_(font) {}
  void draw(rfb::WritablePixelBuffer* pb) override {
    drawBevel(pb, Rect(0, 0, 14, height()), false, true);
    font_->drawText(pb, text_, Point(16, (height() - int(font_->height)) / 2),
                    wvw::colourToPixel(getStyle()->textColour, pb));
    if (hasFocus())
      drawFocusRect(pb, Rect(0, 0, width(), height()));
  }
  bool onFocusChange(bool reverse, Widget* source) override {
    if (source == this)
      invalidate(); // the outline comes or goes
    return Widget::onFocusChange(reverse, source);
  }
  void getPreferredSize(int* w, int* h) override {
    *w = 16 + font_->textWidth(text_);
    *h = int(font_->height) + 2;
  }

private:
  const char* text_;
  wvw::Font* font_;
};

} // namespace

TEST(Paint, TreeMatchesGoldenImage) {
  Text fixed("Fixed 8x16", wvw::Widget::getDefaultStyle()->font);
  Text prop("Proportional \xC3\x89t\xC3\xA9", &wvw::FontProp::helv15_u);
  Text bold("Bold", &wvw::FontProp::helvB15);
  Panel inner(true);
  Panel root(false);
  int w, h;
  fixed.getPreferredSize(&w, &h);
  inner.addChildSized(&fixed, Rect::at(Point(4, 4), w, h));
  prop.getPreferredSize(&w, &h);
  inner.addChildSized(&prop, Rect::at(Point(4, 24), w, h));
  inner.fitToChildren(4);
  root.addChildAt(&inner, Point(6, 6));
  bold.getPreferredSize(&w, &h);
  root.addChildSized(&bold, Rect::at(Point(6, 6 + inner.height() + 4), w, h));
  root.fitToChildren(6);

  testing_support::WidgetTestHost host;
  host.attach(&root);
  host.focusIn(); // the first text gets the focus outline
  ASSERT_TRUE(fixed.hasFocus());

  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF); // anything left unpainted shows
  host.paint(&pb);

  // painting only the damage after a change gives the same pixels as a
  // full repaint
  rfb::ManagedPixelBuffer again(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  again.imageRect(again.getRect(), pb.getData(pb.getRect(), &w));
  host.damage.clear();
  prop.takeFocus();
  host.paintDamage(&again);
  rfb::ManagedPixelBuffer full(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  host.paint(&full);
  std::vector<uint8_t> a(size_t(root.width()) * size_t(root.height()) * 4), b(a.size());
  again.getImage(a.data(), again.getRect());
  full.getImage(b.data(), full.getRect());
  EXPECT_EQ(a, b);
  fixed.takeFocus();

  std::vector<uint8_t> pixels(size_t(pb.width()) * size_t(pb.height()) * 4);
  pb.getImage(pixels.data(), pb.getRect());
  testing_support::writePng(pb, std::string(ZAV_BINARY_DIR) + "/widget-tree.png");
  std::string golden = std::string(ZAV_SOURCE_DIR) + "/libs/wvw/tests/data/widget-tree.xrgb";
  if (getenv("ZAV_UPDATE_GOLDEN")) {
    std::ofstream(golden, std::ios::binary)
        .write(reinterpret_cast<const char*>(pixels.data()), std::streamsize(pixels.size()));
    GTEST_SKIP() << "golden image written";
  }
  std::ifstream in(golden, std::ios::binary);
  ASSERT_TRUE(in) << golden;
  std::vector<uint8_t> expected((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  ASSERT_EQ(pixels.size(), expected.size());
  EXPECT_TRUE(pixels == expected) << "the painted tree differs from " << golden;
}
