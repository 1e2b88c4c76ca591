// The printing page: its five status texts by server mode, printing system
// and backend, which boxes can be used, what clicks store, the layout, and a
// picture on a private X server.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/PrintingPage.h"

#include "cups/CupsApi.h"
#include "plat/ParameterSet.h"
#include "serverconfig/tests/PrintingPageWorld.h"
#include "tx/TXDialog.h"

#include "TxModalScript.h"
#include "TxTestDisplay.h"
#include "WidgetTestHost.h"

#include <memory>
#include <string>

namespace {

using serverconfig::PrintingPage;
using serverconfig::PrintingPageModel;
using testing_support::WidgetTestHost;

using namespace testing_support::printing_texts;

class PrintingPageTest : public ::testing::Test, protected testing_support::PrintingPageWorld {
protected:
  // The page attached to a host, as the options dialog shows it.
  PrintingPage& show() {
    page = std::make_unique<PrintingPage>(nullptr, nullptr, &dialog, &params, nullptr, &system);
    host.attach(page.get());
    return *page;
  }
  void click(wvw::WLabelCheckBox* box) {
    rfb::Point at(3, 3);
    for (wvw::Widget* w = box->getCheckBox(); w != page.get(); w = w->getContainer())
      at = at.translate(w->getContainer()->getChildPosition(w));
    host.pointer(at.x, at.y, 1);
    host.pointer(at.x, at.y, 0);
  }
  std::string status() { return page->statusLabel()->getText(); }
  bool shareTicked() { return page->shareBox()->getCheckBox()->isChecked(); }
  bool defaultTicked() { return page->defaultBox()->getCheckBox()->isChecked(); }

  std::unique_ptr<PrintingPage> page;
  WidgetTestHost host;
};

} // namespace

TEST_F(PrintingPageTest, StatusByModeSystemAndBoxes) {
  for (const testing_support::PrintingStatusCase& c : testing_support::printingStatusCases) {
    SCOPED_TRACE(c.text.substr(0, 40) + " mode " + std::to_string(c.mode));
    dialog.mode = c.mode;
    system.available = c.available;
    system.backend = c.backend;
    // Showing the page writes the bound box's value back as an edit.
    changeDefault.unsetParam(50);
    enable.setValue(c.share, 100);
    changeDefault.setValue(c.changeDefault, 100);
    host.detach();
    show();
    EXPECT_EQ(status(), c.text);
    EXPECT_EQ(shareTicked(), c.share) << "the boxes keep their state while disabled";
    EXPECT_EQ(defaultTicked(), c.changeDefault);
    EXPECT_EQ(page->shareBox()->isEnabled(), c.shareEnabled);
    EXPECT_EQ(page->defaultBox()->isEnabled(), c.defaultEnabled);
  }
}

TEST_F(PrintingPageTest, SharingIsStoredAtOnceAndUnlocksTheDefaultPrinterBox) {
  show();
  EXPECT_EQ(status(), disabled);
  EXPECT_FALSE(page->defaultBox()->isEnabled());
  click(page->shareBox());
  EXPECT_TRUE(enable.getValue());
  EXPECT_EQ(enable.getPriority(), 50);
  EXPECT_TRUE(page->defaultBox()->isEnabled());
  EXPECT_EQ(status(), enabledKeeps);
  click(page->defaultBox());
  EXPECT_STREQ(changeDefault.getValueStr().c_str(), "1");
  EXPECT_EQ(status(), enabledMakesDefault);

  // Unsharing locks the default-printer box without changing its value.
  click(page->shareBox());
  EXPECT_FALSE(enable.getValue());
  EXPECT_FALSE(page->defaultBox()->isEnabled());
  EXPECT_TRUE(defaultTicked());
  EXPECT_STREQ(changeDefault.getValueStr().c_str(), "1");
  EXPECT_EQ(status(), disabled);
}

TEST_F(PrintingPageTest, UnavailablePrintingChangesNothing) {
  dialog.mode = 1;
  enable.setValue(true, 100);
  show();
  click(page->shareBox());
  click(page->defaultBox());
  EXPECT_TRUE(shareTicked());
  EXPECT_FALSE(defaultTicked());
  EXPECT_EQ(enable.getPriority(), 100);
  EXPECT_EQ(changeDefault.getPriority(), 100);
  EXPECT_EQ(status(), serviceMode);
}

// The page asks the printing library this machine has and the backend's
// fixed place.
TEST_F(PrintingPageTest, TheRealPrintingSystemIsAsked) {
  page = std::make_unique<PrintingPage>(nullptr, nullptr, &dialog, &params, nullptr);
  host.attach(page.get());
  const std::string& expected = !cups::isAvailable()       ? noCups
                                : cups::backendInstalled() ? disabled
                                                           : noBackend;
  EXPECT_EQ(status(), expected);
}

TEST_F(PrintingPageTest, Layout) {
  show();
  const int s = 2;
  rfb::Rect share = page->getChildRect(page->shareBox());
  rfb::Rect def = page->getChildRect(page->defaultBox());
  rfb::Rect label = page->getChildRect(page->statusLabel());
  EXPECT_EQ(share.tl, rfb::Point(3 * s, s));
  EXPECT_EQ(def.tl, rfb::Point(7 * s, share.br.y + 2 * s));
  EXPECT_EQ(label, rfb::Rect::at(rfb::Point(3 * s, def.br.y + 4 * s), 310, 150));
  EXPECT_EQ(page->statusLabel()->getMargin(), 0);
  EXPECT_FALSE(page->shareBox()->getCheckBox()->getCheck()->isRadio());
}

TEST_F(PrintingPageTest, Screenshot) {
  testing_support::TxTestDisplay x{"1280x1024x24"};
  enable.setValue(true, 100);
  TXDialog window(x.dpy, 10, 10, "Printing", false, true);
  PrintingPage shown(x.dpy, &window, &dialog, &params, nullptr, &system);
  window.content()->addChildAt(&shown, rfb::Point(0, 0));
  window.setContentSize(shown.width(), shown.height());
  window.show();
  ASSERT_TRUE(x.pumpUntil([&] { return window.getImage() != nullptr; }));
  x.pumpFor(100);
  EXPECT_EQ(std::string(shown.statusLabel()->getText()), enabledKeeps);
  testing_support::screenshot(x, window.win(), "printingpage");
  window.content()->removeChild(&shown);
}

// A server without the sharing parameter: the share box stays disabled and
// the rest of the page works.
TEST_F(PrintingPageTest, ASetWithoutTheSharingParameterDisablesTheShareBox) {
  plat::ParameterSet other{"Xzav"};
  plat::BoolParameter otherDefault{"AllowChangeDefaultPrinter", "", true, false, &other};
  PrintingPage lacking(nullptr, nullptr, &dialog, &other, nullptr, &system);
  WidgetTestHost otherHost;
  otherHost.attach(&lacking);
  EXPECT_FALSE(lacking.shareBox()->isEnabled());
  EXPECT_FALSE(lacking.defaultBox()->isEnabled());
  EXPECT_TRUE(lacking.defaultBox()->getCheckBox()->isChecked());
  EXPECT_EQ(std::string(lacking.statusLabel()->getText()), disabled);
}
