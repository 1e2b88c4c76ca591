#include "plat/MarkUp.h"

#include "plat/Exception.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(MarkUpEscape, DoubledCaretsReadBackAsTheText) {
  const char* texts[] = {"", "plain", "^", "a^b^^c", "^1{x^}", "end^"};
  for (const char* text : texts) {
    plat::DString out;
    out.append("before ");
    plat::MarkUp::appendEscaped(out, text);
    EXPECT_STREQ(plat::MarkUp::Stripper(out.c_str()).c_str(),
                 (std::string("before ") + text).c_str());
  }
  plat::DString out;
  out.append("x");
  plat::MarkUp::appendEscaped(out, nullptr);
  EXPECT_STREQ(out.c_str(), "x");
}

// Outside text put on one line keeps its carets and every other character
// but the control ones, which show as '?'; UTF-8 passes unchanged.
TEST(MarkUpEscape, OneLineTextShowsControlCharactersAsQuestionMarks) {
  struct Case {
    const char* text;
    const char* escaped;
  } cases[] = {
      {"", ""},
      {"plain name", "plain name"},
      {"a^b", "a^^b"},
      {"eve\n\nAccept? from trusted-host", "eve??Accept? from trusted-host"},
      {"\t\r\x01\x1f\x7f ~", "????? ~"},
      {"\xc3\xa9t\xc3\xa9 \xe2\x80\xa2", "\xc3\xa9t\xc3\xa9 \xe2\x80\xa2"},
  };
  for (const Case& c : cases) {
    plat::DString out;
    plat::MarkUp::appendEscapedLine(out, c.text);
    EXPECT_STREQ(out.c_str(), c.escaped) << c.text;
    EXPECT_EQ(std::string(plat::MarkUp::Stripper(out.c_str()).c_str()).find('\n'),
              std::string::npos);
  }
  plat::DString out;
  out.append("x");
  plat::MarkUp::appendEscapedLine(out, nullptr);
  EXPECT_STREQ(out.c_str(), "x");
}

TEST(MarkUpStripper, RemovesEveryCode) {
  struct Case {
    const char* text;
    const char* plain;
  } cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"This is ^bBold^n and a ^1{link^}.", "This is Bold and a link."},
      {"a^^b^^", "a^b^"},
      {"^^^b^^", "^^"},
      {"^m+indented^m-\nback^m0^m@", "indented\nback"},
      {"^12{twelve^} ^u\xc3\xa9t\xc3\xa9^n", "twelve \xc3\xa9t\xc3\xa9"},
      {"line\n\nafter", "line\n\nafter"},
      {"line\n^^caret\n^^", "line\n^caret\n^"},
      {"line\n^bbold^n", "line\nbold"},
  };
  for (const Case& c : cases) {
    plat::MarkUp::Stripper s(c.text);
    EXPECT_STREQ(s.c_str(), c.plain) << c.text;
  }
}

TEST(MarkUpStripper, MalformedTextsThrowTheirMessages) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"ends in a caret^", "Bad mark-up char "},
      {"^x", "Bad mark-up char x"},
      {"^0{zero}", "Bad mark-up char 0"},
      {"^{", "Bad mark-up char {"},
      {"^1x", "Malformed hyperlink"},
      {"^12", "Malformed hyperlink"},
      {"^99999999999999999999{", "Malformed hyperlink"},
      {"^mq", "Bad margin operator q"},
      {"^m", "Bad margin operator "},
  };
  for (const Case& c : cases) {
    try {
      plat::MarkUp::Stripper s(c.text);
      ADD_FAILURE() << "accepted " << c.text;
    } catch (const plat::Exception& e) {
      EXPECT_STREQ(e.str(), c.message) << c.text;
    }
  }
}

struct Recorder : plat::MarkUp::Handler {
  void onText(const char* text, int style, int link, bool emptyLine) override {
    events.push_back("text '" + std::string(text) + "' s" + std::to_string(style) + " l" +
                     std::to_string(link) + (emptyLine ? " empty" : ""));
  }
  void onMargin(char op) override { events.push_back(std::string("margin ") + op); }
  std::vector<std::string> events;
};

TEST(MarkUpParse, SplitsRunsAtNewlinesAndCodes) {
  Recorder r;
  plat::MarkUp::parse("a\n\nb^bc^3{d^}^m@e\n", &r);
  std::vector<std::string> expected = {
      "text 'a\n' s0 l0", "text '\n' s0 l0 empty", "text 'b' s0 l0",
      "text 'c' s1 l0",   "text 'd' s1 l3",        "margin @",
      "text 'e\n' s1 l0",
  };
  EXPECT_EQ(r.events, expected);

  Recorder none;
  plat::MarkUp::parse("", &none);
  plat::MarkUp::parse(nullptr, &none);
  plat::MarkUp::parse("^b^n", &none);
  EXPECT_TRUE(none.events.empty());

  // A newline straight after a code is not an empty line of its own.
  Recorder afterCode;
  plat::MarkUp::parse("^b\n", &afterCode);
  EXPECT_EQ(afterCode.events, std::vector<std::string>{"text '\n' s1 l0"});
}

// Measures 10 pixels per character (UTF-8 aware) with a font 20 high and
// records each piece.
struct FakeText : plat::MarkUp::Layout::Callback {
  void setStyle(int s, int l) override {
    style = s;
    link = l;
  }
  int fontHeight() override { return 20; }
  int textWidth(const char* begin, const char* end) override {
    int chars = 0;
    for (const char* p = begin; p < end; p++)
      if ((static_cast<unsigned char>(*p) & 0xc0) != 0x80)
        chars++;
    return chars * 10;
  }
  void addText(const char* begin, const char* end, int l, int t, int r, int b) override {
    pieces.push_back("'" + std::string(begin, end) + "' " + std::to_string(l) + "," +
                     std::to_string(t) + "," + std::to_string(r) + "," + std::to_string(b) + " s" +
                     std::to_string(style) + (link ? " l" + std::to_string(link) : ""));
  }
  int style = -1;
  int link = 0;
  std::vector<std::string> pieces;
};

TEST(MarkUpLayout, PlacesPiecesInLines) {
  struct Case {
    const char* text;
    int wrap;
    std::vector<std::string> pieces;
    int width;
    int height;
  } cases[] = {
      {"hello world", 0, {"'hello world' 0,0,110,20 s0"}, 110, 20},
      {"hello world", -5, {"'hello world' 0,0,110,20 s0"}, 110, 20},
      {"hello world", 60, {"'hello' 0,0,50,20 s0", "'world' 0,20,50,40 s0"}, 50, 40},
      {"hello world", 110, {"'hello world' 0,0,110,20 s0"}, 110, 20},
      {"^bBold^n text", 0, {"'Bold' 0,0,40,20 s1", "' text' 40,0,90,20 s0"}, 90, 20},
      {"^bsee ^2{here^}", 0, {"'see ' 0,0,40,20 s1", "'here' 40,0,80,20 s2 l2"}, 80, 20},
      {"a\n\nb", 0, {"'a' 0,0,10,20 s0", "'' 0,20,0,30 s0", "'b' 0,30,10,50 s0"}, 10, 50},
      {"abcdefghij", 50, {"'abcdefghij' 0,0,100,20 s0"}, 100, 20},
      {"abc^bdefgh", 60, {"'abc' 0,0,30,20 s0", "'defgh' 0,20,50,40 s1"}, 50, 40},
      {"one\t\t two", 40, {"'one\t' 0,0,40,20 s0", "'two' 0,20,30,40 s0"}, 40, 40},
      {"^m+ab\ncd^m0\nef",
       0,
       {"'ab' 6,0,26,20 s0", "'cd' 6,20,26,40 s0", "'' 0,20,0,40 s0", "'ef' 0,40,20,60 s0"},
       26,
       60},
      {"1. ^m@long text here",
       90,
       {"'1. ' 0,0,30,20 s0", "'long' 30,0,70,20 s0", "'text' 30,20,70,40 s0",
        "'here' 30,40,70,60 s0"},
       70,
       60},
      {"\xc3\xa9 \xc3\xa9", 25, {"'\xc3\xa9' 0,0,10,20 s0", "'\xc3\xa9' 0,20,10,40 s0"}, 10, 40},
      {"\xff\xfe x", 25, {"'\xff\xfe' 0,0,20,20 s0", "'x' 0,20,10,40 s0"}, 20, 40},
  };
  for (const Case& c : cases) {
    FakeText fake;
    plat::MarkUp::Layout layout(&fake, c.wrap);
    plat::MarkUp::parse(c.text, &layout);
    EXPECT_EQ(fake.pieces, c.pieces) << c.text;
    EXPECT_EQ(layout.getWidth(), c.width) << c.text;
    EXPECT_EQ(layout.getHeight(), c.height) << c.text;
  }
}

TEST(MarkUpLayout, MarginOperators) {
  FakeText fake;
  plat::MarkUp::Layout layout(&fake, 0);
  layout.onMargin('+');
  layout.onMargin('+');
  EXPECT_EQ(layout.getMargin(), 12);
  EXPECT_EQ(layout.getX(), 12);
  layout.onMargin('-');
  EXPECT_EQ(layout.getMargin(), 6);
  layout.onText("abc", 0, 0, false);
  layout.onMargin('@');
  EXPECT_EQ(layout.getMargin(), 36);
  layout.onMargin('0');
  EXPECT_EQ(layout.getMargin(), 0);
  EXPECT_EQ(layout.getX(), 0);
  try {
    layout.onMargin('x');
    FAIL() << "accepted";
  } catch (const plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Bad margin operator: x");
  }
}

} // namespace
