// Menus: mnemonics, item and column layout, popping up inside the root,
// highlighting, keyboard and pointer flows of popup menus, menu bars and menu
// buttons, and their looks.
#include "wvw/WMenu.h"

#include "rfb/KeysymNames.h"
#include "wvw/WCanvas.h"
#include "wvw/WIconMenuItem.h"
#include "wvw/WLayoutMenu.h"
#include "wvw/WMenuBar.h"
#include "wvw/WMenuButton.h"
#include "wvw/WMenuGroup.h"
#include "wvw/WMenuItem.h"

#include "GoldenImage.h"
#include "PixelProbe.h"
#include "RecordingHandler.h"
#include "TestFont.h"
#include "TestWidgets.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;
using wvw::WMenuItem;
using Events = std::vector<std::string>;

namespace keys = rfb::keys;

namespace {

// A 400 x 300 root with a focusable patch, attached to a focused host.
struct Root {
  Root() {
    root.addChildSized(&patch, Rect(350, 250, 360, 260));
    root.setSize(400, 300);
    host.attach(&root);
    host.focusIn();
  }
  wvw::WCanvas root;
  Patch patch;
  WidgetTestHost host;
};

} // namespace

TEST(WMenuItem, MnemonicFromText) {
  struct Case {
    const char* text;
    uint32_t mnemonic;
    int index;
    const char* shown;
  } cases[] = {
      {"&File", 'F', 0, "File"},
      {"Save &as", 'a', 5, "Save as"},
      {"A&&B", '&', 1, "A&B"},
      {"End&", 0, -1, "End"},
      {"Plain", 0, -1, "Plain"},
      {"&\xC3\xA9t\xC3\xA9", 0xE9, 0, "\xC3\xA9t\xC3\xA9"},
      {"x&\xE2\x82\xAC", 0x20AC, 1, "x\xE2\x82\xAC"},
      {"&\xC3x", 0xFFFFFFFF, 0, "\xC3x"},
      {"&\xC3", 0xFFFFFFFF, 0, "\xC3"},
      {"&\xFF", 0xFFFFFFFF, 0, "\xFF"},
      {"&\x80", 0xFFFFFFFF, 0, "\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    WMenuItem item(nullptr, c.text, false);
    EXPECT_EQ(item.getMnemonic(), c.mnemonic);
    EXPECT_EQ(item.getMnemonicIndex(), c.index);
    EXPECT_STREQ(item.getLabel()->getText(), c.shown);
  }
}

TEST(WMenuItem, SetMnemonicFindsTheKeyInTheText) {
  WMenuItem item(nullptr, "Open", false);
  item.setMnemonic('p');
  EXPECT_EQ(item.getMnemonicIndex(), 1);
  item.setMnemonic('z'); // not in the text: the offset stays
  EXPECT_EQ(item.getMnemonic(), uint32_t('z'));
  EXPECT_EQ(item.getMnemonicIndex(), 1);
  item.setText("Close &all", 'C');
  EXPECT_STREQ(item.getLabel()->getText(), "Close &all");
  EXPECT_EQ(item.getMnemonicIndex(), 0);
}

TEST(WMenuItem, SeparatorAndColumns) {
  WMenuItem sep(nullptr, nullptr, false);
  int w, h;
  sep.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 5);
  EXPECT_FALSE(sep.acceptsFocus());

  // 8x16 font, margin 2: "Abc" is 24 + 4 wide and 16 high.
  wvw::WMenu menu;
  WMenuItem plain(&menu, "Abc", false), ticked(&menu, "Abc", false);
  plain.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 28);
  EXPECT_EQ(h, 18);
  ticked.setCheckable(true);
  EXPECT_TRUE(plain.isBlankShown()); // lines up with the ticked one
  EXPECT_FALSE(ticked.isBlankShown());
  plain.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 38);
  EXPECT_EQ(plain.getLabel()->getContainer(), &plain);
  EXPECT_EQ(plain.getChildPosition(plain.getLabel()), Point(10, 0));
  ticked.setCheckable(false); // no tick any more: the blank columns stay
  EXPECT_TRUE(plain.isBlankShown());
}

TEST(WMenu, MnemonicMatch) {
  wvw::WMenu menu;
  WMenuItem file(&menu, "&file", false), edit(&menu, "&Edit", false),
      accent(&menu, "&\xC3\xA9t\xC3\xA9", false), off(&menu, "&Off", false),
      hidden(&menu, "&Hidden", false);
  off.setEnabled(false);
  hidden.setVisible(false);
  RecordingHandler rec;
  WidgetTestHost host;
  host.attach(&menu);
  rec.name(&file, "file");
  rec.name(&edit, "edit");
  rec.name(&accent, "accent");
  rec.name(&hidden, "hidden");
  rec.quiet = {"key"};
  menu.setInputHandler(&rec);
  struct Case {
    uint32_t key;
    bool down;
    const char* clicked; // null: none, and the key is not taken
  } cases[] = {
      {'F', true, "file"},    {'f', true, "file"},   {'e', true, "edit"},  {'E', true, "edit"},
      {0xE9, true, "accent"}, {0xC9, true, nullptr}, {'o', true, nullptr}, {'h', true, "hidden"},
      {'f', false, nullptr},  {0, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    rec.events.clear();
    bool taken = menu.onKey(c.key, c.down, &file);
    EXPECT_EQ(taken, c.clicked != nullptr);
    EXPECT_EQ(rec.events, c.clicked ? Events{std::string("click ") + c.clicked} : Events{});
  }
}

TEST(WMenu, ColumnLayoutHalvesTheColumnHeight) {
  TestFont font(18, 6);
  wvw::Style style = styleWithFont(&font);
  wvw::WMenu menu;
  WidgetTestHost host;
  host.style = &style;
  host.attach(&menu);
  std::vector<std::unique_ptr<WMenuItem>> items;
  for (int i = 0; i < 20; i++)
    items.emplace_back(new WMenuItem(&menu, "Item", false)); // 24 + 4 by 20
  EXPECT_EQ(menu.height(), 406);
  EXPECT_EQ(menu.width(), 34);
  menu.setMaxHeight(250);
  EXPECT_EQ(menu.height(), 206);
  EXPECT_EQ(menu.width(), 28 * 2 + 6);
  EXPECT_EQ(menu.getChildPosition(items[9].get()), Point(3, 183));
  EXPECT_EQ(menu.getChildPosition(items[10].get()), Point(31, 3));

  // Spread over a minimum width: columns 0-150 and 150-300, then the frame.
  menu.setMinWidth(300);
  EXPECT_EQ(menu.getChildRect(items[0].get()), Rect(3, 3, 153, 23));
  EXPECT_EQ(menu.getChildRect(items[19].get()), Rect(153, 183, 303, 203));
  EXPECT_EQ(menu.width(), 306);
}

TEST(WMenu, ColumnLayoutEndsWhenOneItemIsTallerThanTheLimit) {
  TestFont font(18, 6);
  wvw::Style style = styleWithFont(&font);
  wvw::WMenu menu;
  WidgetTestHost host;
  host.style = &style;
  host.attach(&menu);
  std::vector<std::unique_ptr<WMenuItem>> items;
  for (int i = 0; i < 5; i++)
    items.emplace_back(new WMenuItem(&menu, "Item", false));
  menu.setMaxHeight(10);
  // One item a column, each column one item high: as low as it gets.
  EXPECT_EQ(menu.height(), 26);
  EXPECT_EQ(menu.width(), 5 * 28 + 6);
  EXPECT_EQ(menu.getChildPosition(items[0].get()), Point(3, 3));
}

TEST(WMenu, HiddenItemsTakeNoRoom) {
  wvw::WMenu menu;
  WMenuItem a(&menu, "A", false), b(&menu, "Bbbbbbbbbb", false), c(&menu, "C", false);
  b.setVisible(false);
  menu.layoutItems();
  EXPECT_EQ(b.width(), 0);
  EXPECT_EQ(menu.getChildPosition(&c), Point(3, 3 + 18));
  EXPECT_EQ(c.width(), 12);
  menu.removeItem(&a);
  EXPECT_EQ(a.getMenu(), nullptr);
  EXPECT_EQ(menu.getItems(), (std::vector<WMenuItem*>{&b, &c}));
  menu.insertItem(&a, &c);
  EXPECT_EQ(menu.getItems(), (std::vector<WMenuItem*>{&b, &a, &c}));
  EXPECT_EQ(menu.childAt(1), &a);
}

TEST(WLayoutMenu, PopupStaysInsideTheRoot) {
  struct Case {
    Point at;
    int items;
    const char* text;
    Point expected;
  } cases[] = {
      {Point(10, 20), 2, "Abc", Point(10, 20)},
      {Point(390, 20), 2, "Abc", Point(400 - 34, 20)},
      {Point(10, 290), 2, "Abc", Point(10, 300 - 42)},
      {Point(-5, -5), 2, "Abc", Point(0, 0)},
      {Point(50, 50), 1, "A very long text that is wider than the whole root is", Point(0, 50)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.x);
    Root r;
    wvw::WLayoutMenu menu(&r.root);
    std::vector<std::unique_ptr<WMenuItem>> items;
    for (int i = 0; i < c.items; i++)
      items.emplace_back(new WMenuItem(&menu, c.text, false));
    menu.popup(c.at);
    EXPECT_EQ(r.root.getPopup(), &menu);
    EXPECT_EQ(r.root.getChildPosition(&menu), c.expected);
    EXPECT_TRUE(menu.isVisible());
    // Shown first, then focused: the first item has the focus.
    EXPECT_TRUE(items[0]->hasFocus());
    menu.popdown();
    EXPECT_EQ(r.root.getPopup(), nullptr);
    EXPECT_FALSE(menu.isVisible());
  }
}

TEST(WLayoutMenu, PopupInANestedOwnerAndManyColumns) {
  Root r;
  wvw::WCanvas inner;
  r.root.addChildSized(&inner, Rect(100, 50, 300, 150));
  TestFont font(18, 6);
  wvw::Style style = styleWithFont(&font);
  r.root.setStyle(&style);
  wvw::WLayoutMenu menu(&inner);
  std::vector<std::unique_ptr<WMenuItem>> items;
  for (int i = 0; i < 20; i++)
    items.emplace_back(new WMenuItem(&menu, "Item", false));
  menu.popup(Point(5, 5));
  EXPECT_EQ(r.root.getChildPosition(&menu), Point(105, 55));
  EXPECT_EQ(menu.getMaxHeight(), 300);
  EXPECT_EQ(menu.height(), 206); // 406 does not fit 300
}

TEST(WLayoutMenu, HighlightFollowsTheFocus) {
  Root r;
  wvw::WLayoutMenu menu(&r.root);
  WMenuItem a(&menu, "A", true), b(&menu, "B", false);
  WMenuItem* sep = menu.addSeparator(&b);
  std::unique_ptr<WMenuItem> own(sep);
  menu.popup(Point(0, 0));
  EXPECT_TRUE(a.hasFocus());
  EXPECT_EQ(a.getStyle(), menu.getHighlightStyle());
  EXPECT_EQ(a.getTick()->getStyle(), menu.getHighlightStyle());
  EXPECT_EQ(menu.getHighlightStyle()->textColour, wvw::Widget::White);
  EXPECT_EQ(menu.getHighlightStyle()->background, wvw::Widget::Blue);
  // The pointer over b moves the highlight there; the separator is skipped
  // by Down and never highlighted.
  Point bAt = menu.getChildPosition(&b).translate(r.root.getChildPosition(&menu));
  r.host.pointer(bAt.x + 2, bAt.y + 2, 0);
  EXPECT_TRUE(b.hasFocus());
  EXPECT_NE(a.getStyle(), menu.getHighlightStyle());
  r.host.type(keys::Up);
  EXPECT_TRUE(a.hasFocus());
  r.host.type(keys::Down);
  EXPECT_TRUE(b.hasFocus());
  EXPECT_NE(sep->getStyle(), menu.getHighlightStyle());
}

namespace {

// Closes the menu it hears a click from, as a window handler does.
struct Closer : RecordingHandler {
  bool onClick(wvw::Widget* s) override {
    RecordingHandler::onClick(s);
    if (menu)
      menu->popdown();
    if (bar)
      for (wvw::WMenuGroup* g : bar->getEntries())
        if (g->isOpen())
          g->popdown();
    return true;
  }
  wvw::WLayoutMenu* menu = nullptr;
  wvw::WMenuBar* bar = nullptr;
};

} // namespace

TEST(WMenuButton, KeyboardFlowChoosesAndReturnsTheFocus) {
  Root r;
  wvw::WMenuButton button(&r.root, "Menu", wvw::WArrow::Down);
  r.root.addChildSized(&button, Rect(20, 20, 100, 44));
  WMenuItem one(button.getMenu(), "One", false), two(button.getMenu(), "&Two", false),
      three(button.getMenu(), "Th&ree", false);
  Closer closer;
  closer.menu = button.getMenu();
  closer.quiet = {"key",    "focus",      "change", "move",  "leave",   "attach",
                  "detach", "visibility", "size",   "press", "release", "enabled"};
  closer.name(&one, "one");
  closer.name(&two, "two");
  closer.name(&three, "three");
  button.getMenu()->setInputHandler(&closer);
  button.takeFocus();
  ASSERT_TRUE(button.hasFocus());

  r.host.type(keys::Return);
  ASSERT_TRUE(button.getMenu()->isVisible());
  EXPECT_EQ(r.root.getChildPosition(button.getMenu()), Point(20, 20));
  EXPECT_TRUE(one.hasFocus());
  r.host.type(keys::Down);
  EXPECT_TRUE(two.hasFocus());
  r.host.type(keys::Return);
  EXPECT_EQ(closer.events, Events{"click two"});
  EXPECT_FALSE(button.getMenu()->isVisible());
  EXPECT_TRUE(button.hasFocus());
  EXPECT_FALSE(button.isPressed());

  // Open again, choose by mnemonic; Escape closes without a choice.
  r.host.type(keys::Return);
  ASSERT_TRUE(button.getMenu()->isVisible());
  EXPECT_TRUE(one.hasFocus());
  r.host.type('R');
  EXPECT_EQ(closer.events, (Events{"click two", "click three"}));
  EXPECT_FALSE(button.getMenu()->isVisible());
  EXPECT_TRUE(button.hasFocus());
  r.host.type(' ');
  EXPECT_TRUE(button.getMenu()->isVisible());
  r.host.type(keys::Tab);
  EXPECT_TRUE(two.hasFocus());
  r.host.type(keys::Escape);
  EXPECT_FALSE(button.getMenu()->isVisible());
  EXPECT_TRUE(button.hasFocus());
  EXPECT_EQ(closer.events.size(), 2u);
}

TEST(WMenuButton, PressOutsideClosesAndReturnsTheFocus) {
  Root r;
  wvw::WMenuButton button(&r.root, "Menu", wvw::WArrow::Down);
  r.root.addChildSized(&button, Rect(20, 20, 100, 44));
  WMenuItem one(button.getMenu(), "One", false);
  r.host.pointer(30, 30, 1);
  r.host.pointer(30, 30, 0);
  ASSERT_TRUE(button.getMenu()->isVisible());
  EXPECT_TRUE(one.hasFocus());
  r.host.pointer(300, 200, 1);
  r.host.pointer(300, 200, 0);
  EXPECT_EQ(r.root.getPopup(), nullptr);
  EXPECT_TRUE(button.hasFocus());
}

namespace {

struct Bar : Root {
  Bar() {
    file = bar.addMenu("&File");
    edit = bar.addMenu("&Edit");
    open = file->addItem("&Open");
    quit = file->addItem("&Quit");
    copy = edit->addItem("&Copy");
    int w, h;
    bar.getPreferredSize(&w, &h);
    root.addChildSized(&bar, Rect(0, 0, 400, h));
    closer.quiet = {"key",    "focus",      "change", "move",  "leave",   "attach",
                    "detach", "visibility", "size",   "press", "release", "enabled"};
    closer.name(open, "open");
    closer.name(quit, "quit");
    closer.name(copy, "copy");
    bar.setInputHandler(&closer);
    closer.bar = &bar;
  }
  wvw::WMenuBar bar;
  wvw::WMenuGroup *file, *edit;
  WMenuItem *open, *quit, *copy;
  Closer closer;
};

} // namespace

TEST(WMenuBar, EntriesSitSideBySide) {
  Bar b;
  // "File" with margin 4 is 40 + 6 for the button.
  EXPECT_EQ(b.bar.getChildRect(b.file), Rect(0, 0, 46, 22));
  EXPECT_EQ(b.bar.getChildRect(b.edit), Rect(46, 0, 92, 22));
  EXPECT_EQ(b.bar.height(), 24);
  EXPECT_EQ(b.file->getMnemonic(), uint32_t('F'));
}

TEST(WMenuBar, LeftAndRightSwitchEntries) {
  Bar b;
  b.file->takeFocus();
  // No entry ever opened: Right opens the first.
  b.bar.onKey(keys::Right, true, b.file);
  EXPECT_TRUE(b.file->isOpen());
  EXPECT_EQ(b.bar.getLastEntry(), b.file);
  EXPECT_EQ(b.root.getPopup(), b.file->getMenu());
  EXPECT_EQ(b.root.getChildPosition(b.file->getMenu()), Point(0, 22));
  EXPECT_TRUE(b.open->hasFocus());
  // The keys reach the bar through the open menu: Left from the first
  // entry opens the last.
  b.host.type(keys::Left);
  EXPECT_FALSE(b.file->isOpen());
  EXPECT_TRUE(b.edit->isOpen());
  EXPECT_EQ(b.root.getPopup(), b.edit->getMenu());
  EXPECT_TRUE(b.copy->hasFocus());
  b.host.type(keys::Right);
  EXPECT_TRUE(b.file->isOpen());
  EXPECT_FALSE(b.edit->isOpen());
  b.host.type(keys::Down);
  EXPECT_TRUE(b.quit->hasFocus());
  b.host.type(keys::Return);
  EXPECT_EQ(b.closer.events, Events{"click quit"});
  EXPECT_FALSE(b.file->isOpen());
  EXPECT_TRUE(b.file->hasFocus());
}

TEST(WMenuBar, MnemonicsEscapeAndPointer) {
  Bar b;
  b.file->takeFocus();
  b.host.type('e');
  EXPECT_TRUE(b.edit->isOpen());
  b.host.type(keys::Escape);
  EXPECT_FALSE(b.edit->isOpen());
  EXPECT_EQ(b.root.getPopup(), nullptr);
  EXPECT_TRUE(b.edit->hasFocus());
  // A click opens File; moving along the bar with the button held
  // switches to Edit; a press outside closes it.
  b.host.pointer(10, 10, 1);
  b.host.pointer(10, 10, 0);
  EXPECT_TRUE(b.file->isOpen());
  b.host.pointer(10, 40, 0); // over the menu
  b.host.pointer(10, 40, 1);
  b.host.pointer(60, 10, 1); // dragged onto Edit
  EXPECT_TRUE(b.edit->isOpen());
  EXPECT_FALSE(b.file->isOpen());
  b.host.pointer(60, 10, 0);
  b.host.pointer(300, 200, 1);
  EXPECT_FALSE(b.edit->isOpen());
  EXPECT_EQ(b.root.getPopup(), nullptr);
}

TEST(WMenu, Looks) {
  wvw::WCanvas root;
  root.setSize(200, 120);
  wvw::WMenuBar bar;
  wvw::WMenuGroup* file = bar.addMenu("&File");
  bar.addMenu("&View");
  root.addChildSized(&bar, Rect(0, 0, 200, 24));
  WMenuItem* open = file->addItem("&Open");
  WMenuItem* save = file->addItem("Save &as");
  std::unique_ptr<WMenuItem> sep(file->getMenu()->addSeparator(nullptr));
  WMenuItem* off = file->addItem("&Dim");
  off->setEnabled(false);
  save->setCheckable(true);
  save->getTick()->setChecked(true);
  WidgetTestHost host;
  host.attach(&root);
  host.focusIn();
  file->popup();
  host.type(keys::Down);
  EXPECT_TRUE(save->hasFocus());
  (void)open;
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  EXPECT_TRUE(matchesGolden(pb, "menus"));
  // The highlighted item is white on blue, its tick too.
  Rect r = file->getMenu()->getChildRect(save);
  Point m = root.getChildPosition(file->getMenu());
  EXPECT_TRUE(isColour(pb, m.x + r.tl.x + 1, m.y + r.tl.y + 1, wvw::Widget::Blue));
}

TEST(WIconMenuItem, IconAtTheRightEnd) {
  static const uint8_t box[8] = {0xFF, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0xFF};
  wvw::WMenu menu;
  wvw::WIconMenuItem item(&menu, "Abc", false);
  int w, h;
  item.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 28);
  item.setIcon(box, 8, 8);
  item.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 28 + 8 + 8);
  menu.layoutItems();
  EXPECT_EQ(item.width(), 44);
  EXPECT_EQ(item.getChildRect(item.getIcon()), Rect(36, 0, 44, 8));
  item.setIcon(box, 6, 6); // the old icon goes
  EXPECT_EQ(item.getChildRect(item.getIcon()), Rect(38, 0, 44, 6));
  EXPECT_EQ(item.numChildren(), 2); // the label and the icon
}

TEST(WMenuBar, DestroyedWhileAMenuIsOpen) {
  Root r;
  auto bar = std::make_unique<wvw::WMenuBar>();
  wvw::WMenuGroup* file = bar->addMenu("&File");
  file->addItem("&Open");
  r.root.addChildSized(bar.get(), Rect(0, 0, 400, 24));
  file->popup();
  ASSERT_TRUE(file->isOpen());
  bar.reset();
  EXPECT_EQ(r.root.getPopup(), nullptr);
  EXPECT_EQ(r.root.numChildren(), 1); // the patch
  r.host.type(keys::Down);
  r.host.pointer(10, 30, 1);
  r.host.pointer(10, 30, 0);
}
