#include "ui/PropertiesDialog.h"
#include "ui/AdvancedDialog.h"

#include "plat/IntParameter.h"
#include "plat/StringParameter.h"

#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

using testing_support::WidgetTestHost;

struct FakeValidator : ui::PropertiesDialog::Validator {
  bool validate(const ui::PropertiesDialog::Page& page) override {
    asked.push_back(page.title);
    return answer;
  }
  bool answer = true;
  std::vector<std::string> asked;
};

struct Owner : ui::PropertiesDialog::Callback {
  void apply() override { calls.push_back("apply"); }
  void cancel() override { calls.push_back("cancel"); }
  std::vector<std::string> calls;
};

struct DialogFixture : ::testing::Test {
  DialogFixture()
      : mode("AdvancedOptions", "", false), basic1("Basic one"), basic2("Basic two"),
        advanced1("Advanced one") {}
  std::unique_ptr<ui::PropertiesDialog> make(bool apply) {
    std::vector<ui::PropertiesDialog::Page> basic = {
        {&basic1, "Basic", "Basic title", "The basic page", &validator},
        {&basic2, "More", "More title", "Another page", nullptr}};
    std::vector<ui::PropertiesDialog::Page> advanced = {
        {&advanced1, "Expert", "Expert title", "Everything", nullptr}};
    auto d = std::make_unique<ui::PropertiesDialog>(nullptr, basic, advanced, &mode, apply, true);
    d->setCallback(&owner);
    return d;
  }
  std::vector<wvw::Widget*> sheets(ui::PropertiesDialog* d) {
    std::vector<wvw::Widget*> out;
    wvw::WTabSheets* s = d->getTabSheets()->getSheets();
    for (int i = 0; i < s->getCount(); i++)
      out.push_back(s->getSheet(i)->getContent());
    return out;
  }

  plat::BoolParameter mode;
  wvw::WLabel basic1;
  wvw::WLabel basic2;
  wvw::WLabel advanced1;
  FakeValidator validator;
  Owner owner;
};

TEST_F(DialogFixture, TheToggleSwitchesBetweenBasicAndAdvancedPages) {
  auto d = make(true);
  EXPECT_STREQ("Advanced...", d->getToggleButton()->getLabel()->getText());
  EXPECT_EQ((std::vector<wvw::Widget*>{&basic1, &basic2}), sheets(d.get()));
  d->onClick(d->getToggleButton());
  EXPECT_TRUE(mode.getValue());
  EXPECT_EQ(50, mode.getPriority());
  EXPECT_STREQ("Basic...", d->getToggleButton()->getLabel()->getText());
  EXPECT_EQ((std::vector<wvw::Widget*>{&advanced1}), sheets(d.get()));
  EXPECT_EQ(0, d->getTabSheets()->getSheets()->getCurrent());
  EXPECT_FALSE(d->isClosed());
  // Another dialog over the same parameter starts in the mode last chosen.
  auto other = make(false);
  EXPECT_EQ((std::vector<wvw::Widget*>{&advanced1}), sheets(other.get()));
}

TEST_F(DialogFixture, OkApplyAndCancelFollowTheValidator) {
  struct Case {
    const char* button;
    bool valid;
    std::vector<std::string> calls;
    bool closed;
  } cases[] = {
      {"Apply", true, {"apply"}, false},
      {"OK", true, {"apply"}, true},
      {"OK", false, {}, false},
      {"Apply", false, {}, false},
      {"Cancel", false, {"cancel"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.button) + (c.valid ? " valid" : " invalid"));
    auto d = make(true);
    owner.calls.clear();
    validator.answer = c.valid;
    std::string b = c.button;
    d->onClick(b == "OK"      ? d->getOkButton()
               : b == "Apply" ? d->getApplyButton()
                              : d->getCancelButton());
    EXPECT_EQ(c.calls, owner.calls);
    EXPECT_EQ(c.closed, d->isClosed());
  }
}

TEST_F(DialogFixture, AnInvalidPageCannotBeLeft) {
  auto d = make(true);
  wvw::WTabSheets* s = d->getTabSheets()->getSheets();
  validator.answer = false;
  s->setCurrent(1);
  EXPECT_EQ(0, s->getCurrent());
  validator.answer = true;
  s->setCurrent(1);
  EXPECT_EQ(1, s->getCurrent());
  EXPECT_EQ((std::vector<std::string>{"Basic title", "Basic title"}), validator.asked);
}

TEST_F(DialogFixture, WithoutACallbackOkSimplyClosesAndApplyDoesNothing) {
  auto d = make(true);
  d->setCallback(nullptr);
  d->onClick(d->getApplyButton());
  EXPECT_FALSE(d->isClosed());
  d->onClick(d->getOkButton());
  EXPECT_TRUE(d->isClosed());
}

TEST_F(DialogFixture, ButtonsStandAtTheRightEdge) {
  auto d = make(false);
  int right = d->getTabSheets()->width();
  EXPECT_EQ(right - 136, d->getChildPosition(d->getOkButton()).x);
  EXPECT_EQ(right - 68, d->getChildPosition(d->getCancelButton()).x);
  EXPECT_EQ(-1, [&] {
    for (int i = 0; i < d->numChildren(); i++)
      if (d->childAt(i) == d->getApplyButton())
        return i;
    return -1;
  }());
  auto withApply = make(true);
  EXPECT_EQ(right - 204, withApply->getChildPosition(withApply->getOkButton()).x);
  EXPECT_EQ(right - 68, withApply->getChildPosition(withApply->getApplyButton()).x);
  EXPECT_EQ(d->getTabSheets()->height() + 25 + 8, d->height());
}

TEST_F(DialogFixture, TheLogoIsSeventyFourBySeventy) {
  auto d = make(true);
  EXPECT_EQ(74, d->getLogo()->width());
  EXPECT_EQ(70, d->getLogo()->height());
}

// The header shows the product's logo, drawn with the shapes of the other
// logos on the header's white: white at its edges, the logo's blue and white
// inside, and nothing in its last rows that could run over the header's line.
TEST_F(DialogFixture, TheLogoIsTheProductsOnWhite) {
  auto d = make(true);
  rfb::ManagedPixelBuffer& image = d->getLogo()->image();
  auto rgb = [&](int x, int y) {
    uint32_t p = image.getPixel(rfb::Point(x, y));
    return std::array<int, 3>{int(p & 0xff), int((p >> 8) & 0xff), int((p >> 16) & 0xff)};
  };
  const std::array<int, 3> white{255, 255, 255}, blue{38, 98, 180};
  int blues = 0;
  for (int y = 0; y < 70; y++)
    for (int x = 0; x < 74; x++) {
      blues += rgb(x, y) == blue;
      if (x == 0 || x == 73 || y >= 66) {
        EXPECT_EQ(rgb(x, y), white) << x << "," << y;
      }
    }
  EXPECT_GT(blues, 300);
}

TEST(AdvancedDialog, ApplyingCopiesEditedValuesIntoTheTarget) {
  plat::ParameterSet edited("Edited");
  plat::IntParameter port("Port", "", 5900, 0, 65535, false, &edited);
  plat::StringParameter name("Name", "", "x", false, &edited);
  plat::ParameterSet target("Target");
  plat::IntParameter targetPort("Port", "", 5900, 0, 65535, false, &target);
  ui::AdvancedDialog page(nullptr, nullptr, nullptr, &edited, &target);
  page.setSize(300, 200);
  EXPECT_EQ(rfb::Rect(2, 2, 298, 198), page.getChildRect(page.getList()));
  EXPECT_FALSE(page.changed());
  port.setParam("5901", 50);
  EXPECT_TRUE(page.changed());
  ui::PropertiesDialog::Page p{&page, "Expert", "", "", &page};
  EXPECT_TRUE(page.validate(p));
  EXPECT_EQ(5901, targetPort.getValue());
  EXPECT_EQ(50, targetPort.getPriority());
  EXPECT_FALSE(page.changed());
}

TEST(AdvancedDialog, WithoutATargetNothingChangesOrIsCopied) {
  plat::ParameterSet edited("Edited");
  plat::IntParameter port("Port", "", 5900, 0, 65535, false, &edited);
  ui::AdvancedDialog page(nullptr, nullptr, nullptr, &edited, nullptr);
  port.setParam("5901", 50);
  EXPECT_FALSE(page.changed());
  page.apply();
  EXPECT_EQ(5901, port.getValue());
}

} // namespace
