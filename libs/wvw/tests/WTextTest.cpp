// Text entry: editing by keys, pointer and clipboard, completion, masking
// and looks.
#include "wvw/WText.h"

#include "rfb/KeysymNames.h"
#include "wvw/Style.h"
#include "wvw/WCanvas.h"
#include "wvw/WTextAutocomplete.h"

#include "plat/Utf8.h"

#include "CaptureLogger.h"
#include "GoldenImage.h"
#include "PixelProbe.h"
#include "RecordingHandler.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;
using wvw::Widget;

namespace keys = rfb::keys;

namespace {

const uint32_t XK_dead_acute = 0xFE51, XK_EuroSign = 0x20AC, XK_eacute = 0xE9;

// A key with modifiers: 'S' Shift, 'C' Control, 'A' Alt.
struct Key {
  uint32_t keysym;
  const char* mods = "";
};

// A field of 100 x 24 as the root of a host that has the focus.
struct Field {
  explicit Field(uint32_t max = 20, const char* text = nullptr) : text(max, text) {
    this->text.setSize(100, 24);
    rec.name(&this->text, "field");
    rec.quiet = {"move", "press", "release", "key", "focus", "attach", "size", "leave"};
    this->text.setInputHandler(&rec);
    host.attach(&this->text);
  }
  void keys(const std::vector<Key>& ks) {
    for (const Key& k : ks) {
      std::string m = k.mods;
      for (char c : m)
        host.press(c == 'S' ? keys::Shift_L : c == 'C' ? keys::Control_L : keys::Alt_L);
      host.type(k.keysym);
      for (char c : m)
        host.release(c == 'S' ? keys::Shift_L : c == 'C' ? keys::Control_L : keys::Alt_L);
    }
  }
  void typeText(const char* s) {
    for (const char* p = s; *p; p++)
      host.type(uint8_t(*p));
  }
  int caret() {
    int c, a;
    text.getSelection(&c, &a);
    return c;
  }
  int anchor() {
    int c, a;
    text.getSelection(&c, &a);
    return a;
  }
  wvw::WText text;
  RecordingHandler rec;
  WidgetTestHost host;
};

} // namespace

TEST(WText, KeyTable) {
  struct Case {
    const char* name;
    uint32_t max;
    const char* initial;
    int caret, anchor; // set before the keys (-1: leave as set by the text)
    std::vector<Key> keys;
    std::string text;
    int expectCaret, expectAnchor;
  } cases[] = {
      {"typing", 20, "", -1, -1, {{'a'}, {'b'}, {'c'}}, "abc", 3, 3},
      {"left twice", 20, "abc", -1, -1, {{keys::Left}, {keys::Left}}, "abc", 1, 1},
      {"home then shift+end", 20, "abc", -1, -1, {{keys::Home}, {keys::End, "S"}}, "abc", 3, 0},
      {"shift+left then left", 20, "abc", -1, -1, {{keys::Left, "S"}, {keys::Left}}, "abc", 1, 1},
      {"shift+right at the end", 20, "abc", -1, -1, {{keys::Right, "S"}}, "abc", 3, 3},
      {"right over a two-byte character",
       20,
       "\xC3\xA9x",
       0,
       0,
       {{keys::Right}},
       "\xC3\xA9x",
       2,
       2},
      {"ctrl+left from inside a word", 20, "foo  bar", 6, 6, {{keys::Left, "C"}}, "foo  bar", 5, 5},
      {"ctrl+left twice",
       20,
       "foo  bar",
       6,
       6,
       {{keys::Left, "C"}, {keys::Left, "C"}},
       "foo  bar",
       0,
       0},
      {"ctrl+right from the start", 20, "foo  bar", 0, 0, {{keys::Right, "C"}}, "foo  bar", 3, 3},
      {"ctrl+right twice",
       20,
       "foo  bar",
       0,
       0,
       {{keys::Right, "C"}, {keys::Right, "C"}},
       "foo  bar",
       8,
       8},
      {"ctrl+shift+left selects the word",
       20,
       "foo bar",
       -1,
       -1,
       {{keys::Left, "CS"}},
       "foo bar",
       4,
       7},
      {"words of accented letters",
       20,
       "h\xC3\xA9llo w\xC3\xB6rld",
       -1,
       -1,
       {{keys::Left, "C"}},
       "h\xC3\xA9llo w\xC3\xB6rld",
       7,
       7},
      {"ctrl+left over punctuation",
       20,
       "a.,b",
       -1,
       -1,
       {{keys::Left, "C"}, {keys::Left, "C"}},
       "a.,b",
       0,
       0},
      {"a selection replaced by a typed character", 20, "hello", 0, 5, {{'x'}}, "x", 1, 1},
      {"backspace removes a two-byte character",
       20,
       "a\xC3\xA9",
       -1,
       -1,
       {{keys::BackSpace}},
       "a",
       1,
       1},
      {"backspace removes a four-byte character",
       20,
       "a\xF0\x9F\x98\x80",
       -1,
       -1,
       {{keys::BackSpace}},
       "a",
       1,
       1},
      {"backspace at the start", 20, "ab", 0, 0, {{keys::BackSpace}}, "ab", 0, 0},
      {"backspace with a selection", 20, "abcd", 1, 3, {{keys::BackSpace}}, "ad", 1, 1},
      {"delete", 20, "abc", 1, 1, {{keys::Delete}}, "ac", 1, 1},
      {"delete at the end", 20, "abc", -1, -1, {{keys::Delete}}, "abc", 3, 3},
      {"delete a selection", 20, "abcd", 3, 1, {{keys::Delete}}, "ad", 1, 1},
      {"typing at the maximum length", 3, "abc", -1, -1, {{'d'}}, "abc", 3, 3},
      {"a multi-byte character that does not fit", 4, "abc", -1, -1, {{XK_eacute}}, "abc", 3, 3},
      {"a character that fits once the selection is gone",
       4,
       "abc",
       1,
       2,
       {{XK_eacute}},
       "a\xC3\xA9"
       "c",
       3,
       3},
      {"a refused character keeps the selection", 3, "abc", 1, 2, {{XK_EuroSign}}, "abc", 1, 2},
      {"control and alt chords type nothing", 20, "", -1, -1, {{'a', "C"}, {'b', "A"}}, "", 0, 0},
      {"control characters type nothing",
       20,
       "",
       -1,
       -1,
       {{keys::Return}, {keys::Escape}},
       "",
       0,
       0},
      {"a dead key composes", 20, "", -1, -1, {{XK_dead_acute}, {'e'}}, "\xC3\xA9", 2, 2},
      {"a dead key before a key it does not compose with",
       20,
       "",
       -1,
       -1,
       {{XK_dead_acute}, {'x'}},
       "'x",
       2,
       2},
      {"a Unicode keysym", 20, "", -1, -1, {{XK_EuroSign}}, "\xE2\x82\xAC", 3, 3},
      {"surrogates and code points beyond U+10FFFE type nothing",
       20,
       "",
       -1,
       -1,
       {{0x100D800}, {0x110FFFF}},
       "",
       0,
       0},
      {"home and end with shift", 20, "abc", 1, 1, {{keys::Home, "S"}}, "abc", 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Field f(c.max, c.initial);
    if (c.caret >= 0)
      f.text.setSelection(c.anchor, c.caret);
    f.keys(c.keys);
    EXPECT_EQ(std::string(f.text.getText()), c.text);
    EXPECT_EQ(f.caret(), c.expectCaret);
    EXPECT_EQ(f.anchor(), c.expectAnchor);
  }
}

TEST(WText, FilterAdmitsOnlyItsCharacters) {
  Field f;
  f.text.setAllowedChars("0123456789");
  f.keys({{'a'}, {'1'}, {XK_eacute}, {'2'}, {'Z'}});
  EXPECT_STREQ(f.text.getText(), "12");
  f.text.setSelection(0, 1);
  f.keys({{'x'}});
  EXPECT_STREQ(f.text.getText(), "12");
  EXPECT_EQ(f.caret(), 1);
  EXPECT_EQ(f.anchor(), 0);
}

TEST(WText, ChangeNotifications) {
  Field f;
  f.rec.events.clear();
  f.keys({{'a'}, {keys::Left}, {keys::Home, "S"}, {keys::Right}});
  EXPECT_EQ(f.rec.events, (std::vector<std::string>{"change field"}));
  f.text.setText("x");
  EXPECT_EQ(f.rec.events.size(), 2u);
}

TEST(WText, TextIsCutAtACharacterBoundary) {
  struct Case {
    const char* text;
    uint32_t max;
    std::string kept;
  } cases[] = {
      {"a\xC3\xA9", 2, "a"},
      {"a\xC3\xA9", 3, "a\xC3\xA9"},
      {"\xE2\x82\xAC\xE2\x82\xAC", 5, "\xE2\x82\xAC"},
      {"\xF0\x9F\x98\x80", 3, ""},
      {"a\x80\x80\x80\x80", 3, "a\x80\x80"}, // lone continuation bytes stand alone
      {"abc", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.max);
    wvw::WText t(c.max, c.text);
    EXPECT_EQ(std::string(t.getText()), c.kept);
    wvw::WText u(20, c.text);
    u.setSelection(0, -1);
    u.setMaxLength(c.max);
    EXPECT_EQ(std::string(u.getText()), c.kept);
    int caret, anchor;
    u.getSelection(&caret, &anchor);
    EXPECT_LE(caret, int(c.kept.size()));
    EXPECT_LE(anchor, int(c.kept.size()));
  }
}

TEST(WText, PasteTable) {
  struct Case {
    const char* name;
    uint32_t max;
    const char* initial;
    int caret, anchor;
    const char* clipboard; // null: none
    const char* filter;
    std::string text;
    int expectCaret;
  } cases[] = {
      {"plain", 20, "ab", 1, 1, "xyz", nullptr, "axyzb", 4},
      {"control and non-ASCII bytes are dropped", 30, "", 0, 0, "one\ntwo\t\xC3\xA9three\x7F",
       nullptr, "onetwothree", 11},
      {"bounded, keeping the text after the caret", 8, "abcd", 2, 2, "123456", nullptr, "ab1234cd",
       6},
      {"the selection survives in the text", 20, "abcd", 3, 1, "X", nullptr, "abcXd", 4},
      {"the filter applies to pasting too", 20, "", 0, 0, "tel. 555-12", "0123456789", "55512", 5},
      {"no clipboard", 20, "ab", 1, 1, nullptr, nullptr, "ab", 1},
      {"full already", 2, "ab", 1, 1, "xyz", nullptr, "ab", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Field f(c.max, c.initial);
    f.text.setAllowedChars(c.filter);
    f.text.setSelection(c.anchor, c.caret);
    f.host.hasClipboard = c.clipboard != nullptr;
    f.host.clipboard = c.clipboard ? c.clipboard : "";
    f.keys({{'v', "C"}});
    EXPECT_EQ(std::string(f.text.getText()), c.text);
    EXPECT_EQ(f.caret(), c.expectCaret);
    EXPECT_EQ(f.anchor(), c.expectCaret);
    EXPECT_EQ(f.host.bells, 0);
  }
}

TEST(WText, CopyHandsOverTheWholeTextButNeverAPassword) {
  testing_support::ScopedCapture capture("WText", 120);
  Field f(20, "secret words");
  f.text.setSelection(0, 3);
  f.keys({{'c', "C"}});
  EXPECT_TRUE(f.host.hasClipboard);
  EXPECT_EQ(f.host.clipboard, "secret words");

  Field p(20, "hunter2");
  p.text.setPasswordMode(true);
  p.keys({{'c', "C"}});
  EXPECT_FALSE(p.host.hasClipboard);
  EXPECT_EQ(p.host.bells, 1);

  // paste into the password field: neither text reaches the log
  p.host.hasClipboard = true;
  p.host.clipboard = "pasted-text";
  p.keys({{'v', "C"}});
  EXPECT_STREQ(p.text.getText(), "hunter2pasted-text");
  for (const auto& line : capture.logger.lines) {
    EXPECT_EQ(line.text.find("secret"), std::string::npos) << line.text;
    EXPECT_EQ(line.text.find("hunter2"), std::string::npos) << line.text;
    EXPECT_EQ(line.text.find("pasted"), std::string::npos) << line.text;
  }
  EXPECT_FALSE(capture.logger.lines.empty());
}

TEST(WText, PointerPlacesTheCaretWhereTheTextIsDrawn) {
  // "abcd" is 32 pixels wide in the 8 x 16 font; the text area runs from
  // x = 6 to 94.
  struct Case {
    int hAlign;
    int textLeft;
  } cases[] = {{0, 6}, {1, (6 + 94 - 32) / 2}, {2, 94 - 32}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hAlign);
    Field f(20, "abcd");
    f.text.setAlignment(c.hAlign, 1);
    struct Click {
      int dx, caret;
    } clicks[] = {{-10, 0}, {3, 0}, {5, 1}, {8 + 5, 2}, {31, 4}, {60, 4}};
    for (const Click& k : clicks) {
      f.host.pointer(c.textLeft + k.dx, 12, 1);
      f.host.pointer(c.textLeft + k.dx, 12, 0);
      EXPECT_EQ(f.caret(), k.caret) << k.dx;
    }
  }
}

TEST(WText, DragSelectsAndShiftClickExtends) {
  Field f(20, "abcdefgh");
  f.host.pointer(6 + 8, 12, 1);  // before b
  f.host.pointer(6 + 40, 12, 1); // before f
  f.host.pointer(6 + 40, 12, 0);
  EXPECT_EQ(f.caret(), 5);
  EXPECT_EQ(f.anchor(), 1);
  f.host.pointer(6 + 56, 12, 0); // moving without a button selects nothing more
  EXPECT_EQ(f.caret(), 5);
  f.host.held.insert(keys::Shift_L);
  f.host.pointer(6 + 56, 12, 1);
  f.host.pointer(6 + 56, 12, 0);
  EXPECT_EQ(f.caret(), 7);
  EXPECT_EQ(f.anchor(), 1);
}

TEST(WText, PasswordClickCountsAsterisks) {
  Field f(20, "\xC3\xA9\xC3\xA9\xC3\xA9");
  f.text.setPasswordMode(true);
  f.host.pointer(6 + 8 + 5, 12, 1); // beyond half the second asterisk
  EXPECT_EQ(f.caret(), 4);
}

TEST(WText, TabIntoTheFieldSelectsAll) {
  Field f(20, "abc");
  f.text.setSelection(1, 1);
  f.host.focusOut();
  f.host.held.insert(keys::Tab);
  f.host.focusIn();
  EXPECT_EQ(f.caret(), 3);
  EXPECT_EQ(f.anchor(), 0);
}

TEST(WText, FocusOnlyWhenEditable) {
  wvw::WText t(10);
  EXPECT_TRUE(t.acceptsFocus());
  t.setEditable(false);
  EXPECT_FALSE(t.acceptsFocus());
  t.setEditable(true);
  t.setEnabled(false);
  EXPECT_FALSE(t.acceptsFocus());
  int w, h;
  wvw::WText sized(10, "abc");
  sized.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 24 + 12);
  EXPECT_EQ(h, 16 + 8);
}

TEST(WText, PasswordShowsAsterisks) {
  Field masked(20, "a\xC3\xA9z");
  masked.text.setPasswordMode(true);
  masked.host.focusOut();
  Field stars(20, "***");
  stars.host.focusOut();
  rfb::ManagedPixelBuffer a(rfb::PixelLayout::xrgb32LittleEndian, 100, 24);
  rfb::ManagedPixelBuffer b(rfb::PixelLayout::xrgb32LittleEndian, 100, 24);
  masked.host.paint(&a);
  stars.host.paint(&b);
  std::vector<uint8_t> pa(100 * 24 * 4), pbx(pa.size());
  a.getImage(pa.data(), a.getRect());
  b.getImage(pbx.data(), b.getRect());
  EXPECT_EQ(pa, pbx);
}

TEST(WText, LongTextScrollsToKeepTheCaretInView) {
  Field f(100, "0123456789abcdefghijklmnopqrstuvwxyz"); // 288 pixels in an 88-pixel area
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, 100, 24);
  f.host.paint(&pb);
  // the caret at the end is in view: a caret column right of the last glyph
  Rect caret = boxOf(pb, Widget::Black);
  EXPECT_LE(caret.br.x, 94);
  f.keys({{keys::Home}});
  f.host.paint(&pb);
  // with the caret at the start, the text starts at the area's left edge
  EXPECT_TRUE(isColour(pb, 6, 8, Widget::Black) || isColour(pb, 7, 8, Widget::Black));
  // nothing is drawn over the bevel
  EXPECT_TRUE(isColour(pb, 0, 12, Widget::BevelLow));
  EXPECT_TRUE(isColour(pb, 99, 12, Widget::BevelHigh));
  EXPECT_EQ(countColour(pb, Widget::Black, Rect(2, 2, 6, 22)), 0);
  EXPECT_EQ(countColour(pb, Widget::Black, Rect(94, 2, 98, 22)), 0);
}

TEST(WTextAutocomplete, CompletionTable) {
  struct Case {
    const char* name;
    std::vector<std::string> words;
    bool caseSensitive;
    std::vector<Key> keys;
    std::string text;
    int caret, anchor;
  } cases[] = {
      {"completes the shortest word", {"abc", "ab"}, true, {{'a'}}, "ab", 2, 1},
      {"backspace removes the completion only",
       {"ab", "abc"},
       true,
       {{'a'}, {keys::BackSpace}},
       "a",
       1,
       1},
      {"typing over the completion", {"ab", "abc"}, true, {{'a'}, {'b'}, {'c'}}, "abc", 3, 3},
      {"no match", {"ab"}, true, {{'x'}}, "x", 1, 1},
      {"case matters", {"Hello"}, true, {{'h'}}, "h", 1, 1},
      {"case ignored, the word's own case kept", {"Hello"}, false, {{'h'}, {'e'}}, "Hello", 5, 2},
      {"moving does not complete", {"ab"}, true, {{'a'}, {keys::Left}, {keys::Right}}, "ab", 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wvw::WTextAutocomplete t(20);
    t.setCompletions(c.words, c.caseSensitive);
    t.setSize(100, 24);
    WidgetTestHost host;
    host.attach(&t);
    for (const Key& k : c.keys)
      host.type(k.keysym);
    EXPECT_EQ(std::string(t.getText()), c.text);
    int caret, anchor;
    t.getSelection(&caret, &anchor);
    EXPECT_EQ(caret, c.caret);
    EXPECT_EQ(anchor, c.anchor);
  }
}

TEST(WTextAutocomplete, WordsPrecedeTheLongerWordsTheyBegin) {
  wvw::WTextAutocomplete t(20);
  t.setCompletions({"abcd", "x", "abc", "ab", "b", "ABC"}, true);
  EXPECT_EQ(t.getCompletions(), (std::vector<std::string>{"ab", "abc", "abcd", "x", "b", "ABC"}));
  t.setCompletions({"abcd", "ABC"}, false);
  EXPECT_EQ(t.getCompletions(), (std::vector<std::string>{"ABC", "abcd"}));
}

TEST(WText, GoldenImage) {
  wvw::WCanvas root;
  wvw::WText normal(40, "Normal"), focused(40, "Focused"), selected(40, "Selected"),
      disabled(40, "Disabled"), password(40, "secret"), centred(40, "Centred"), right(40, "Right"),
      scrolled(60, "A long text that scrolls within the field");
  disabled.setEnabled(false);
  password.setPasswordMode(true);
  centred.setAlignment(1, 1);
  right.setAlignment(2, 1);
  int y = 4;
  for (wvw::WText* t : {&normal, &focused, &selected, &disabled}) {
    root.addChildSized(t, Rect(4, y, 124, y + 24));
    y += 28;
  }
  y = 4;
  for (wvw::WText* t : {&password, &centred, &right, &scrolled}) {
    root.addChildSized(t, Rect(128, y, 248, y + 24));
    y += 28;
  }
  root.setSize(252, 116);
  WidgetTestHost host;
  host.attach(&root);
  host.focusIn();
  selected.takeFocus();
  selected.setSelection(1, 5);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  // the focused field: the caret at the end of its text
  focused.takeFocus();
  focused.setSelection(7, 7);
  rfb::ManagedPixelBuffer pb2(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  host.paint(&pb2);
  Rect focusedRow = root.getChildRect(&focused);
  int stride;
  const uint8_t* row = pb2.getData(focusedRow, &stride);
  pb.imageRect(focusedRow, row, stride);
  scrolled.takeFocus();
  rfb::ManagedPixelBuffer pb3(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  host.paint(&pb3);
  Rect scrolledRow = root.getChildRect(&scrolled);
  row = pb3.getData(scrolledRow, &stride);
  pb.imageRect(scrolledRow, row, stride);
  EXPECT_TRUE(matchesGolden(pb, "text-entry"));
}

// Whatever is typed, pasted or moved over, the text stays within its
// maximum length and valid UTF-8, and caret and anchor stay on character
// boundaries inside it.
TEST(WText, RandomEditingKeepsTheInvariants) {
  const uint32_t typed[] = {'a',          'Z',           ' ',       '.',
                            XK_eacute,    XK_EuroSign,   0x101F600, keys::Left,
                            keys::Right,  keys::Home,    keys::End, keys::BackSpace,
                            keys::Delete, XK_dead_acute, 'e',       'v'};
  const char* mods[] = {"", "", "", "S", "C", "CS"};
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (uint32_t max : {0u, 1u, 5u, 12u}) {
    SCOPED_TRACE(max);
    Field f(max);
    f.host.hasClipboard = true;
    f.host.clipboard = "paste me \xC3\xA9!";
    for (int i = 0; i < 1500; i++) {
      f.keys({{typed[next(sizeof(typed) / sizeof(typed[0]))], mods[next(6)]}});
      std::string text = f.text.getText();
      ASSERT_LE(text.size(), max);
      std::vector<char> copy(text.begin(), text.end());
      copy.push_back('\0');
      ASSERT_TRUE(plat::checkUtf8(copy.data())) << i;
      ASSERT_EQ(std::string(copy.data()), text) << i;
      for (int pos : {f.caret(), f.anchor()}) {
        ASSERT_GE(pos, 0);
        ASSERT_LE(pos, int(text.size()));
        ASSERT_TRUE(pos == int(text.size()) || (uint8_t(text[size_t(pos)]) & 0xC0) != 0x80)
            << i << " at " << pos;
      }
    }
  }
}
