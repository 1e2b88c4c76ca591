// gtest first: the X headers define None.
#include <gtest/gtest.h>

#include "ui/PropertiesDialog.h"

#include "tx/TXWindow.h"

#include "XvfbServer.h"

#include <X11/Xlib.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Refuser : ui::PropertiesDialog::Validator {
  bool validate(const ui::PropertiesDialog::Page&) override { return false; }
};

class DialogWindowFixture : public ::testing::Test {
protected:
  DialogWindowFixture() : mode("AdvancedOptions", "", false), page("A page"), expert("Expert") {
    dpy = XOpenDisplay(xvfb.display().c_str());
    if (!dpy)
      throw std::runtime_error("cannot open " + xvfb.display());
    TXWindow::init(dpy, "Zavconfig");
    host = std::make_unique<TXWindow>(dpy, 400, 300);
  }
  ~DialogWindowFixture() override {
    dialog.reset();
    host.reset();
    TXWindow::shutdown(dpy);
    XCloseDisplay(dpy);
  }
  void make(ui::PropertiesDialog::Validator* validator) {
    std::vector<ui::PropertiesDialog::Page> basic = {{&page, "Page", "Title", "", validator}};
    std::vector<ui::PropertiesDialog::Page> advanced = {{&expert, "Expert", "Expert", "", nullptr}};
    dialog = std::make_unique<ui::PropertiesDialog>(host.get(), basic, advanced, &mode, true, true);
    host->map();
  }
  bool mapped() {
    XSync(dpy, False);
    XWindowAttributes a;
    XGetWindowAttributes(dpy, host->win(), &a);
    return a.map_state != IsUnmapped;
  }

  testing_support::XvfbServer xvfb;
  Display* dpy = nullptr;
  plat::BoolParameter mode;
  wvw::WLabel page;
  wvw::WLabel expert;
  std::unique_ptr<TXWindow> host;
  std::unique_ptr<ui::PropertiesDialog> dialog;
};

TEST_F(DialogWindowFixture, OkAndCancelUnmapTheHostWindowApplyKeepsIt) {
  make(nullptr);
  ASSERT_TRUE(mapped());
  dialog->onClick(dialog->getApplyButton());
  EXPECT_TRUE(mapped());
  dialog->onClick(dialog->getOkButton());
  EXPECT_FALSE(mapped());
  host->map();
  ASSERT_TRUE(mapped());
  dialog->onClick(dialog->getCancelButton());
  EXPECT_FALSE(mapped());
}

TEST_F(DialogWindowFixture, AnInvalidPageKeepsTheWindowOnOkButNotOnCancel) {
  Refuser refuser;
  make(&refuser);
  dialog->onClick(dialog->getOkButton());
  EXPECT_TRUE(mapped());
  dialog->onClick(dialog->getCancelButton());
  EXPECT_FALSE(mapped());
}

} // namespace
