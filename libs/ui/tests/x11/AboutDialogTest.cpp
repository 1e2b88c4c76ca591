// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "ui/AboutDialog.h"
#include "ui/LogoHeader.h"

#include "TxDialogResults.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"

#include <sys/stat.h>

using testing_support::TxTestDisplay;

namespace {

using Finished = testing_support::TxDialogResults;

class AboutTest : public ::testing::Test {
protected:
  void SetUp() override { testing_support::testAppInit(); }
  bool shown(TXDialog& d) {
    return x.pumpUntil([&] { return d.getImage() != nullptr; });
  }
  void clickOk(ui::AboutDialog& about) {
    int px = 0, py = 0;
    XSync(x.dpy, False);
    about.positionOnRoot(&px, &py);
    rfb::Rect r = about.content()->getChildRect(about.okButton());
    x.run({"xdotool", "mousemove", std::to_string(px + r.tl.x + 30),
           std::to_string(py + r.tl.y + 12), "click", "1"});
  }

  TxTestDisplay x{"1280x1024x24"};
};

} // namespace

TEST_F(AboutTest, ShowsTheBannerCentredWithOkBelowAndReportsTrueEachTime) {
  ui::AboutDialog about(x.dpy, "About Zav Server", nullptr, nullptr, 0);
  Finished finished;
  about.setCallback(&finished);
  EXPECT_STREQ(about.label()->getText(), AppInit::instance()->getVersionInfo()->plainText.c_str());
  rfb::Rect label = about.content()->getChildRect(about.label());
  rfb::Rect ok = about.content()->getChildRect(about.okButton());
  EXPECT_EQ(label.tl, rfb::Point(10, 10));
  EXPECT_EQ(ok, rfb::Rect::at(rfb::Point((label.width() - 60) / 2 + 10, label.br.y + 10), 60, 25));
  EXPECT_EQ(about.width(), label.width() + 20);
  EXPECT_EQ(about.height(), label.height() + 55);

  for (int run = 0; run < 2; run++) {
    EXPECT_TRUE(about.show());
    ASSERT_TRUE(shown(about));
    x.pumpFor(50);
    if (run == 0)
      testing_support::screenshot(x, about.win(), "about");
    clickOk(about);
    ASSERT_TRUE(x.pumpUntil([&] { return finished.results.size() == size_t(run + 1); }));
    EXPECT_TRUE(about.getResult());
    EXPECT_FALSE(about.isMapped());
  }
  EXPECT_EQ(finished.results, (std::vector<bool>{true, true}));
  struct stat st;
  EXPECT_EQ(stat((std::string(ZAV_BINARY_DIR) + "/screenshots/about.png").c_str(), &st), 0);
}

TEST_F(AboutTest, WithAnIconTheBannerStandsBesideIt) {
  ui::AboutDialog about(x.dpy, "About Zav Server", nullptr, "zavserver.ico", 48);
  ASSERT_NE(about.icon(), nullptr);
  rfb::Rect icon = about.content()->getChildRect(about.icon());
  rfb::Rect label = about.content()->getChildRect(about.label());
  EXPECT_EQ(icon.width(), 48);
  EXPECT_EQ(label.tl.x, 48 + 12);
  EXPECT_GT(label.height(), 48);
  EXPECT_EQ(icon.tl, rfb::Point(10, (label.height() - 48) / 2 + 10));
}

TEST_F(AboutTest, LogoHeaderPlacesTheLogoAtTheRightAndGivesAnUntitledTextTheHeight) {
  ui::LogoHeader header(nullptr);
  header.setText("Some ^bstatus^n text");
  header.setSize(420, 80);
  // The logo keeps 3 pixels from the right edge, the title 3 from the top;
  // the texts end where the logo begins.
  EXPECT_EQ(header.getChildRect(header.logo()),
            rfb::Rect::at(rfb::Point(359, (80 - 55) / 2), 58, 55));
  EXPECT_EQ(header.getChildRect(header.description()), rfb::Rect(0, 0, 359, 80));
  header.setTitle("Zav Server");
  rfb::Rect title = header.getChildRect(header.title());
  EXPECT_EQ(title, rfb::Rect::at(rfb::Point(2, 3), 357, title.height()));
  EXPECT_EQ(header.getChildRect(header.description()),
            rfb::Rect::at(rfb::Point(6, 3 + title.height()), 353, 80 - 3 - title.height()));
  int w = 0, h = 0;
  header.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 420);
  EXPECT_EQ(h, 80 + 4);
}
