#include "ui/WConfigLayout.h"

#include "plat/Exception.h"
#include "plat/IntParameter.h"
#include "plat/StringParameter.h"

#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

using testing_support::WidgetTestHost;

struct PageFixture : ::testing::Test {
  PageFixture()
      : set("Test"), a("A", "", "1", false, &set), b("B", "", "0", false, &set),
        number("Number", "", 5, 0, 100, false, &set), page(nullptr, nullptr, nullptr, &set) {
    page.setSize(200, 200);
    page.addChild(&box);
    page.addChild(&text);
  }
  std::string thrown(const std::function<void()>& f) {
    try {
      f();
    } catch (plat::Exception& e) {
      return e.str();
    }
    return "<nothing thrown>";
  }

  plat::ParameterSet set;
  plat::StringParameter a;
  plat::StringParameter b;
  plat::IntParameter number;
  wvw::WCheckBox box;
  wvw::WText text{255};
  ui::WConfigLayout page;
  WidgetTestHost host;
};

TEST_F(PageFixture, ABoxOverDisagreeingParametersIsIndeterminateAndWritesTheirOwnValues) {
  ui::WConfigLayout::CheckBinding both[] = {{"A", "1", "0"}, {"B", "1", "0"}, {}};
  page.bindCheckValues(&box, both);
  host.attach(&page);
  EXPECT_TRUE(box.isIndeterminate());
  // Loading wrote the values back, unchanged, at the write priority.
  EXPECT_STREQ("1", a.getValueStr().c_str());
  EXPECT_STREQ("0", b.getValueStr().c_str());
  EXPECT_EQ(50, a.getPriority());
  EXPECT_EQ(50, b.getPriority());
  box.setChecked(true);
  EXPECT_STREQ("1", a.getValueStr().c_str());
  EXPECT_STREQ("1", b.getValueStr().c_str());
  box.setChecked(false);
  EXPECT_STREQ("0", a.getValueStr().c_str());
  EXPECT_STREQ("0", b.getValueStr().c_str());
}

TEST_F(PageFixture, LoadingSetsTheBoxByTheParameterValue) {
  struct Case {
    const char* value;
    bool checked;
    bool indeterminate;
  } cases[] = {{"1", true, false}, {"0", false, false}, {"2", false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    a.setParam(c.value, 10);
    wvw::WCheckBox own;
    ui::WConfigLayout p(nullptr, nullptr, nullptr, &set);
    p.addChild(&own);
    p.bindCheck(&own, "A", "1", "0");
    WidgetTestHost h;
    h.attach(&p);
    EXPECT_EQ(c.indeterminate, own.isIndeterminate());
    if (!c.indeterminate) {
      EXPECT_EQ(c.checked, own.isChecked());
    }
    h.detach();
    p.removeChild(&own);
  }
}

TEST_F(PageFixture, UnknownNamesThrowAndBindNothing) {
  EXPECT_EQ("Unknown parameter 'Nope'", thrown([&] { page.bindText(&text, "Nope"); }));
  ui::WConfigLayout::CheckBinding mixed[] = {{"A", "1", "0"}, {"Nope", "1", "0"}, {}};
  EXPECT_EQ("Unknown parameter 'Nope'", thrown([&] { page.bindCheckValues(&box, mixed); }));
  host.attach(&page);
  box.setChecked(!box.isChecked());
  EXPECT_STREQ("1", a.getValueStr().c_str());
  EXPECT_NE(50, a.getPriority());
}

TEST_F(PageFixture, AnUndecidedBoxNeverLoadedWritesNothing) {
  page.bindCheck(&box, "A", "1", "0");
  box.setIndeterminate();
  EXPECT_STREQ("1", a.getValueStr().c_str());
  EXPECT_NE(50, a.getPriority());
}

TEST_F(PageFixture, ATextFieldShowsAndWritesItsParameter) {
  page.bindText(&text, "Number");
  host.attach(&page);
  EXPECT_STREQ("5", text.getText());
  text.setText("0x20");
  EXPECT_EQ(32, number.getValue());
  EXPECT_EQ(50, number.getPriority());
}

// Shows the rights letters "f" as "Interactive", and "" as "None".
class RightsPage : public ui::WConfigLayout {
public:
  using WConfigLayout::WConfigLayout;
  void translateValue(const char*, const char** value, bool toParam) override {
    static const char* const pairs[][2] = {{"f", "Interactive"}, {"", "None"}};
    for (auto& p : pairs)
      if (strcmp(*value, p[toParam ? 1 : 0]) == 0) {
        *value = p[toParam ? 0 : 1];
        return;
      }
  }
};

TEST(ConfigLayoutTranslation, AChoiceShowsTheTranslatedTextAndWritesTheOriginal) {
  plat::ParameterSet set("Test");
  plat::StringParameter access("GuestAccess", "", "f", false, &set);
  RightsPage page(nullptr, nullptr, nullptr, &set);
  page.setSize(200, 200);
  wvw::WChoice choice(&page, false, false, 255);
  choice.addItem(0, "None");
  choice.addItem(1, "Interactive");
  page.addChild(&choice);
  page.bindChoice(&choice, "GuestAccess");
  WidgetTestHost host;
  host.attach(&page);
  EXPECT_STREQ("Interactive", choice.getText());
  choice.setText("None");
  EXPECT_STREQ("", access.getValueStr().c_str());
  choice.setText("Interactive");
  EXPECT_STREQ("f", access.getValueStr().c_str());
  EXPECT_EQ(50, access.getPriority());
  host.detach();
  page.removeChild(&choice);
}

} // namespace
