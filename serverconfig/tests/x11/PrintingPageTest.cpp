// The printing page: its five status texts by server mode, printing system
// and backend, which boxes can be used, what clicks store, the layout, and a
// picture on a private X server.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/PrintingPage.h"

#include "cups/CupsApi.h"
#include "plat/BoolParameter.h"
#include "plat/ParameterSet.h"
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

struct Dialog : serverconfig::OptionsDialog::Callback {
  unsigned mode = 2;
  void applyOptions(plat::ParameterSet*, plat::ParameterSet*) override {}
  const char* getStatusParam(const char*) override { return nullptr; }
  void reloadParams(plat::ParameterSet*) override {}
  unsigned getMode() override { return mode; }
};

struct System : PrintingPageModel::PrintingSystem {
  bool available = true;
  bool backend = true;
  bool isAvailable() override { return available; }
  bool backendInstalled() override { return backend; }
};

const std::string enabledText = "Remote printing is enabled.  A Zav printer will be created when "
                                "a printer is shared by a Zav Viewer.\n\n";
const std::string keepsDefault = enabledText +
                                 "This computer's default printer will not be changed.  To print "
                                 "to a Zav printer, select it from your application's printing "
                                 "dialog.";
const std::string makesDefault =
    enabledText + "When the Zav printer is created, it will be made this computer's default "
                  "printer.";
const std::string disabledText = "Remote printing is disabled.  Zav printers will not be created.";
const std::string serviceText = "Remote printing is not available with the zav.so module.";
const std::string noCupsText = "Remote printing is not available because the CUPS print system "
                               "is not installed on this machine.";
const std::string noBackendText =
    "Remote printing is not available because the CUPS Zav printer driver is disabled or not "
    "installed. To enable printing, run this command as root:\n\n  zavinitconfig "
    "-enable-print\n\nZav Server will then need to be restarted.";

class PrintingPageTest : public ::testing::Test {
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

  plat::ParameterSet params{"Xzav"};
  plat::BoolParameter enable{"EnableRemotePrinting", "", false, false, &params};
  plat::BoolParameter changeDefault{"AllowChangeDefaultPrinter", "", false, false, &params};
  Dialog dialog;
  System system;
  std::unique_ptr<PrintingPage> page;
  WidgetTestHost host;
};

} // namespace

TEST_F(PrintingPageTest, StatusByModeSystemAndBoxes) {
  struct Case {
    unsigned mode;
    bool available, backend, share, changeDefault;
    const std::string& text;
    bool shareEnabled, defaultEnabled;
  } cases[] = {
      {1, true, true, true, true, serviceText, false, false},
      {1, false, false, false, false, serviceText, false, false},
      {2, false, true, true, false, noCupsText, false, false},
      {3, true, true, true, false, keepsDefault, true, true},
      {2, true, true, true, true, makesDefault, true, true},
      {3, true, true, false, true, disabledText, true, false},
      {2, true, false, true, true, noBackendText, false, false},
  };
  for (const Case& c : cases) {
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
  EXPECT_EQ(status(), disabledText);
  EXPECT_FALSE(page->defaultBox()->isEnabled());
  click(page->shareBox());
  EXPECT_TRUE(enable.getValue());
  EXPECT_EQ(enable.getPriority(), 50);
  EXPECT_TRUE(page->defaultBox()->isEnabled());
  EXPECT_EQ(status(), keepsDefault);
  click(page->defaultBox());
  EXPECT_STREQ(changeDefault.getValueStr().c_str(), "1");
  EXPECT_EQ(status(), makesDefault);

  // Unsharing locks the default-printer box without changing its value.
  click(page->shareBox());
  EXPECT_FALSE(enable.getValue());
  EXPECT_FALSE(page->defaultBox()->isEnabled());
  EXPECT_TRUE(defaultTicked());
  EXPECT_STREQ(changeDefault.getValueStr().c_str(), "1");
  EXPECT_EQ(status(), disabledText);
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
  EXPECT_EQ(status(), serviceText);
}

// The page asks the printing library this machine has and the backend's
// fixed place.
TEST_F(PrintingPageTest, TheRealPrintingSystemIsAsked) {
  page = std::make_unique<PrintingPage>(nullptr, nullptr, &dialog, &params, nullptr);
  host.attach(page.get());
  const std::string& expected = !cups::isAvailable()       ? noCupsText
                                : cups::backendInstalled() ? disabledText
                                                           : noBackendText;
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
  EXPECT_EQ(std::string(shown.statusLabel()->getText()), keepsDefault);
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
  EXPECT_EQ(std::string(lacking.statusLabel()->getText()), disabledText);
}
