#include "chat/ChatRenderImpl.h"

#include "rfb/ManagedPixelBuffer.h"
#include "wvw/Font.h"
#include "wvw/Style.h"
#include "wvw/WVScrollBar.h"
#include "wvw/WViewport.h"

#include "PngFile.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>

using chat::ChatRenderImpl;
using TextRun = chat::ChatRenderImpl::Run;

namespace {

class FakeWindow : public ChatRenderImpl::Window {
public:
  bool hasFocus() override { return focused; }
  void setUrgent(bool u) override { urgent.push_back(u); }
  bool focused = false;
  std::vector<bool> urgent;
};

const chat::Colour red = {160, 0, 0};
const chat::Colour green = {0, 160, 0};

int textWidth(wvw::Font* f, const std::string& s) {
  return f->textWidth(s.c_str(), s.c_str() + s.size());
}
int lineHeight() {
  return static_cast<int>(ChatRenderImpl::textFont()->height);
}
int labelHeight() {
  return static_cast<int>(ChatRenderImpl::labelFont()->height);
}

class ChatRenderImplTest : public ::testing::Test {
protected:
  void SetUp() override {
    host.attach(&view);
    view.setSize(400, 200);
  }
  std::vector<TextRun> textRuns(size_t entry) const {
    std::vector<TextRun> runs;
    for (const TextRun& r : view.entries()[entry].runs)
      if (r.source == TextRun::Text)
        runs.push_back(r);
    return runs;
  }
  std::string piece(size_t entry, const TextRun& r) const {
    return view.entries()[entry].text.substr(static_cast<size_t>(r.start),
                                             static_cast<size_t>(r.length));
  }

  FakeWindow window;
  ChatRenderImpl view{nullptr, &window};
  testing_support::WidgetTestHost host;
};

TEST_F(ChatRenderImplTest, HeaderIsOneRunAtTheMargin) {
  view.appendHeader("Wed, 01 Jan 2020 00:00", chat::ColourAllocator::timestamp);
  const auto& e = view.entries()[0];
  ASSERT_EQ(e.runs.size(), 1u);
  const TextRun& r = e.runs[0];
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right - r.left, textWidth(ChatRenderImpl::headerFont(), e.text));
  EXPECT_EQ(r.font, TextRun::HeaderFont);
  EXPECT_EQ(e.height, static_cast<int>(ChatRenderImpl::headerFont()->height));
  EXPECT_EQ(view.totalHeight(), 8 + e.height);
}

TEST_F(ChatRenderImplTest, ShortLabelKeepsTheTextOnItsLineAndAWideOneMovesItDown) {
  view.appendMessage("k-e", "ann", "hello", red);
  std::string wide = "Bartholomew Longname";
  ASSERT_GT(textWidth(ChatRenderImpl::labelFont(), wide), 97);
  view.appendMessage("k-e", wide.c_str(), "hello", red);
  const auto& shortOne = view.entries()[0];
  ASSERT_EQ(shortOne.runs.size(), 3u);
  int lw = textWidth(ChatRenderImpl::labelFont(), "ann");
  EXPECT_EQ(shortOne.runs[0].left, 2);
  EXPECT_EQ(shortOne.runs[0].right, 2 + lw);
  EXPECT_EQ(shortOne.runs[1].left, 2 + lw);
  EXPECT_EQ(shortOne.runs[1].right, 2 + lw + 6);
  EXPECT_EQ(shortOne.runs[2].left, 105);
  EXPECT_EQ(shortOne.runs[2].top, 0);
  EXPECT_EQ(shortOne.height, lineHeight());

  const auto& wideOne = view.entries()[1];
  EXPECT_EQ(wideOne.y, 8 + lineHeight());
  ASSERT_EQ(wideOne.runs.size(), 3u);
  EXPECT_EQ(wideOne.runs[2].top, wideOne.y + labelHeight());
  EXPECT_EQ(wideOne.height, labelHeight() + lineHeight());
}

TEST_F(ChatRenderImplTest, WrapsAtWordsBreaksLongWordsAndKeepsInnerSpaces) {
  view.setSize(105 + 2 + 100, 200); // 100 pixels of text room
  std::string text = "aa   bb " + std::string(40, 'w') + " end";
  view.appendMessage("k", "x", text.c_str(), red);
  std::vector<TextRun> runs = textRuns(0);
  ASSERT_GE(runs.size(), 3u);
  EXPECT_EQ(piece(0, runs[0]), "aa   bb") << "a run of spaces between words is drawn in full";
  std::string rebuilt;
  for (size_t i = 0; i < runs.size(); i++) {
    EXPECT_LE(runs[i].right - runs[i].left, 100);
    EXPECT_EQ(runs[i].top, static_cast<int>(i) * lineHeight());
    EXPECT_EQ(runs[i].left, 105);
    rebuilt += piece(0, runs[i]);
  }
  EXPECT_EQ(piece(0, runs.back()), "end");
  EXPECT_EQ(rebuilt, "aa   bb" + std::string(40, 'w') + "end");
  EXPECT_EQ(view.entries()[0].height, static_cast<int>(runs.size()) * lineHeight());
}

TEST_F(ChatRenderImplTest, EmptyMessageTakesOneLine) {
  view.appendMessage("k", "ann", "", red);
  EXPECT_EQ(view.entries()[0].runs.size(), 2u);
  EXPECT_EQ(view.entries()[0].height, lineHeight());
}

TEST_F(ChatRenderImplTest, NarrowWidthsNeitherLayOutNorWrapAround) {
  view.appendMessage("k", "ann", "some words here", red);
  auto before = view.entries()[0].runs;
  int heightBefore = view.entries()[0].height;
  view.setSize(105, 200);
  ASSERT_EQ(view.entries()[0].runs.size(), before.size());
  EXPECT_EQ(view.entries()[0].runs[2].right, before[2].right) << "kept its old layout";
  EXPECT_EQ(view.entries()[0].height, heightBefore);

  // Just over the text column there is no room for a character: each is
  // dropped and uses up a line, instead of the room wrapping round to a huge
  // unsigned width that puts everything on one line.
  for (int w : {106, 107}) {
    view.setSize(w, 200);
    EXPECT_TRUE(textRuns(0).empty()) << w;
    EXPECT_EQ(view.entries()[0].height, 13 * lineHeight()) << w << ": 13 non-blank characters";
  }
  view.setSize(105 + 2 + 12, 200);
  for (const TextRun& r : textRuns(0))
    EXPECT_LE(r.right - r.left, 12);
}

TEST_F(ChatRenderImplTest, AppendingWhileScrolledUpJumpsToTheEnd) {
  for (int i = 0; i < 20; i++)
    view.appendMessage("k", "ann", ("line " + std::to_string(i)).c_str(), red);
  EXPECT_EQ(view.scrollPosition(), view.totalHeight() - 200);
  view.onScroll(rfb::Point(0, 10));
  EXPECT_EQ(view.scrollPosition(), 10);
  view.appendMessage("k", "ann", "new", red);
  EXPECT_EQ(view.scrollPosition(), view.totalHeight() - 200);
}

// In a real viewport: the content size follows the transcript, and the view
// is scrolled to its end whatever the user had scrolled to.
TEST(ChatRenderImplInViewport, ContentSizeAndScrollFollowTheTranscript) {
  wvw::WViewport viewport;
  ChatRenderImpl view(&viewport, nullptr);
  viewport.setChild(&view);
  viewport.setViewportChild(&view);
  testing_support::WidgetTestHost host;
  host.attach(&viewport);
  viewport.setSize(400, 200);
  EXPECT_EQ(view.width(), 400);
  view.appendMessage("k", "ann", "one", red);
  EXPECT_EQ(viewport.getContentSize(), rfb::Point(400, view.totalHeight()));
  EXPECT_FALSE(viewport.isVBarShown());

  for (int i = 0; i < 20; i++)
    view.appendMessage("k", "ann", ("line " + std::to_string(i)).c_str(), red);
  ASSERT_TRUE(viewport.isVBarShown());
  EXPECT_FALSE(viewport.isHBarShown()) << "the content is as wide as the view";
  EXPECT_EQ(view.width(), viewport.getViewSize().x);
  EXPECT_EQ(viewport.getContentSize(), rfb::Point(view.width(), view.totalHeight()));
  EXPECT_EQ(view.scrollPosition(), view.totalHeight() - view.height());
  EXPECT_EQ(viewport.getVScrollBar()->getValue(), view.scrollPosition());

  // The user scrolls up; the next line brings the view back to the end.
  viewport.setScrollPosition(rfb::Point(0, 5));
  EXPECT_EQ(view.scrollPosition(), 5);
  view.appendMessage("k", "ann", "new", red);
  EXPECT_EQ(view.scrollPosition(), view.totalHeight() - view.height());
  EXPECT_EQ(viewport.getVScrollBar()->getValue(), view.scrollPosition());

  view.clear();
  EXPECT_EQ(viewport.getContentSize().y, 0);
  EXPECT_FALSE(viewport.isVBarShown());
  viewport.setChild(nullptr);
  host.detach();
}

TEST_F(ChatRenderImplTest, RecolourChangesMessagesOfTheKeyOnly) {
  view.appendHeader("header", chat::ColourAllocator::timestamp);
  view.appendMessage("ann-e", "ann", "one", red);
  view.appendMessage("bob-e", "bob", "two", green);
  view.recolour("ann-e", chat::ColourAllocator::disconnected);
  EXPECT_EQ(view.colourOf(view.entries()[0]), chat::ColourAllocator::timestamp);
  EXPECT_EQ(view.colourOf(view.entries()[1]), chat::ColourAllocator::disconnected);
  EXPECT_EQ(view.colourOf(view.entries()[2]), green);
  view.recolour("", red);
  EXPECT_EQ(view.colourOf(view.entries()[0]), chat::ColourAllocator::timestamp);
  // A line after the recolouring keeps its own colour; the next recolouring
  // takes every line of the key, old and new; a recoloured key's lines keep
  // their colour as older lines of the transcript go.
  view.appendMessage("ann-e", "ann", "three", red);
  EXPECT_EQ(view.colourOf(view.entries()[3]), red);
  EXPECT_EQ(view.colourOf(view.entries()[1]), chat::ColourAllocator::disconnected);
  view.recolour("ann-e", green);
  EXPECT_EQ(view.colourOf(view.entries()[1]), green);
  EXPECT_EQ(view.colourOf(view.entries()[3]), green);
  EXPECT_EQ(view.colourOf(view.entries()[2]), green) << "bob's own colour";
  view.clear();
  view.appendMessage("ann-e", "ann", "after clear", red);
  EXPECT_EQ(view.colourOf(view.entries()[0]), red);
}

TEST_F(ChatRenderImplTest, RecolouringCostsTheSameHoweverLongTheTranscript) {
  // Joins and leaves of many participants over a full transcript: each
  // costs a look-up, and the lines drawn show the colours all the same.
  for (int i = 0; i < 1000; i++)
    view.appendMessage(("p" + std::to_string(i % 10) + "-e").c_str(), "p", "line", red);
  for (int i = 0; i < 10; i++)
    view.recolour(("p" + std::to_string(i) + "-e").c_str(), i % 2 ? green : red);
  for (int i = 0; i < 1000; i++)
    EXPECT_EQ(view.colourOf(view.entries()[i]), (i % 10) % 2 ? green : red) << i;
}

TEST_F(ChatRenderImplTest, ClearStartsAgainAtTheTop) {
  view.appendMessage("k", "ann", "one", red);
  view.clear();
  EXPECT_TRUE(view.entries().empty());
  EXPECT_EQ(view.totalHeight(), 0);
  view.appendMessage("k", "ann", "two", red);
  EXPECT_EQ(view.entries()[0].y, 0);
}

TEST_F(ChatRenderImplTest, UrgentWhenAnUpdateEndsWithoutFocus) {
  view.beginUpdate();
  view.endUpdate();
  window.focused = true;
  view.endUpdate();
  EXPECT_EQ(window.urgent, std::vector<bool>{true});
  ChatRenderImpl alone(nullptr, nullptr);
  alone.setSize(300, 100);
  alone.beginUpdate();
  alone.appendMessage("k", "a", "b", red);
  alone.endUpdate();
  alone.onScroll(rfb::Point(0, 0));
}

TEST_F(ChatRenderImplTest, RelayoutOnWidthChangeRestacksEntries) {
  std::string text;
  for (int i = 0; i < 30; i++)
    text += "word ";
  view.appendMessage("k", "ann", text.c_str(), red);
  view.appendMessage("k", "ann", "after", red);
  int wideHeight = view.entries()[0].height;
  view.setSize(200, 200);
  EXPECT_GT(view.entries()[0].height, wideHeight);
  EXPECT_EQ(view.entries()[1].y, 8 + view.entries()[0].height);
  EXPECT_EQ(view.totalHeight(), 16 + view.entries()[0].height + view.entries()[1].height);
}

// Random texts at random widths: every line fits, lines follow one another,
// and the text comes back whole from its runs and the blanks between them.
TEST_F(ChatRenderImplTest, RandomWrapsCoverTheTextAndFit) {
  std::mt19937 rng(27);
  const char alphabet[] = "aaaaabcdeeeeefghiiiijklmnoooopqrstuuuvwxyzWM    \t\xc3\xa9";
  for (int round = 0; round < 300; round++) {
    int width = 120 + static_cast<int>(rng() % 400);
    view.setSize(width, 200);
    view.clear();
    std::string text;
    int len = static_cast<int>(rng() % 300);
    for (int i = 0; i < len; i++) {
      char c = alphabet[rng() % (sizeof(alphabet) - 1)];
      if (c == '\xc3' || c == '\xa9')
        text += "\xc3\xa9";
      else
        text += c;
    }
    view.appendMessage("k", "ann", text.c_str(), red);
    const int room = width - 2 - 105;
    std::vector<TextRun> runs = textRuns(0);
    size_t at = 0;
    int top = view.entries()[0].runs[0].top;
    for (const TextRun& r : runs) {
      ASSERT_LE(r.right - r.left, room);
      ASSERT_EQ(r.right - r.left, textWidth(ChatRenderImpl::textFont(), piece(0, r)));
      ASSERT_EQ(r.top, top);
      top += lineHeight();
      // Only blanks are skipped between runs.
      for (; at < static_cast<size_t>(r.start); at++)
        ASSERT_TRUE(isspace(static_cast<unsigned char>(text[at]))) << round;
      at = static_cast<size_t>(r.start + r.length);
    }
    for (; at < text.size(); at++)
      ASSERT_TRUE(isspace(static_cast<unsigned char>(text[at]))) << round;
  }
}

TEST_F(ChatRenderImplTest, PaintsEntriesInTheirColoursWhereTheyAre) {
  view.setSize(300, 60);
  view.appendHeader("Wed, 01 Jan 2020 00:00", chat::ColourAllocator::timestamp);
  view.appendMessage("ann-e", "ann", "hello world", red);
  view.appendMessage("bob-e", "bob", "second line", green);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, 300, 60);
  host.paint(&pb);
  int stride = 0;
  const uint32_t* px = reinterpret_cast<const uint32_t*>(pb.getDataRW(pb.getRect(), &stride));
  const uint32_t background = wvw::colourToPixel(view.getStyle()->background, &pb);
  const uint32_t redPx = wvw::colourToPixel(rfb::Colour(160, 0, 0), &pb);
  const uint32_t greenPx = wvw::colourToPixel(rfb::Colour(0, 160, 0), &pb);
  // Where each colour may appear: its entry's rows, shifted by the scroll.
  auto rowsOf = [&](size_t i) {
    const auto& e = view.entries()[i];
    return std::make_pair(e.y - view.scrollPosition(), e.y + e.height - view.scrollPosition());
  };
  int redCount = 0, greenCount = 0;
  for (int y = 0; y < 60; y++) {
    for (int x = 0; x < 300; x++) {
      uint32_t p = px[y * stride + x];
      if (p == redPx) {
        redCount++;
        ASSERT_GE(y, rowsOf(1).first);
        ASSERT_LT(y, rowsOf(1).second);
      } else if (p == greenPx) {
        greenCount++;
        ASSERT_GE(y, rowsOf(2).first);
        ASSERT_LT(y, rowsOf(2).second);
      } else if (p != background) {
        ASSERT_LT(y, rowsOf(0).second) << "only the header has another colour";
      }
    }
  }
  EXPECT_GT(redCount, 20);
  EXPECT_GT(greenCount, 20);
  EXPECT_GT(view.scrollPosition(), 0) << "three entries do not fit in 60 rows";
  // A picture for review (not compared).
  testing_support::writePng(pb, std::string(ZAV_BINARY_DIR) + "/chat-transcript.png");
}

} // namespace

namespace {

// A flood of lines, many short ones or fewer long ones: past either bound
// the oldest entries go, and those left stack from the top as before, the
// view still at its end.
TEST_F(ChatRenderImplTest, AFloodKeepsTheNewestEntriesWithinTheBounds) {
  struct Case {
    size_t count;
    size_t length;
  } cases[] = {
      {ChatRenderImpl::maxEntries + 1, 0},
      {ChatRenderImpl::maxTextBytes / 1004 + 1, 1000}, // "k", "ann" and the text
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    view.clear();
    for (size_t i = 0; i < c.count; i++) {
      std::string text = std::to_string(i);
      if (c.length == 0) {
        view.appendHeader(text.c_str(), chat::ColourAllocator::timestamp);
      } else {
        text.resize(c.length, i % 7 == 0 ? ' ' : 'x');
        view.appendMessage("k", "ann", text.c_str(), red);
      }
    }
    const auto& entries = view.entries();
    ASSERT_LT(entries.size(), c.count);
    ASSERT_LE(entries.size(), ChatRenderImpl::maxEntries);
    size_t bytes = 0;
    int y = 0;
    for (const auto& e : entries) {
      bytes += e.key.size() + e.label.size() + e.text.size();
      ASSERT_EQ(e.y, y);
      for (const TextRun& r : e.runs)
        ASSERT_TRUE(r.top >= e.y && r.bottom <= e.y + e.height);
      y += ChatRenderImpl::entrySpacing + e.height;
    }
    EXPECT_LE(bytes, ChatRenderImpl::maxTextBytes);
    EXPECT_EQ(view.totalHeight(), y);
    EXPECT_EQ(entries.back().text.substr(0, std::to_string(c.count - 1).size()),
              std::to_string(c.count - 1));
    EXPECT_EQ(entries.front().text.substr(0, std::to_string(c.count - entries.size()).size()),
              std::to_string(c.count - entries.size()));
    EXPECT_EQ(view.scrollPosition(), view.totalHeight() - view.height());
  }
}

} // namespace
