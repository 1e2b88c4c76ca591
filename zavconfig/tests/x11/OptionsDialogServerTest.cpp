// The options window against the stand-in server, through the status
// window's callback: OK and Apply send exactly the parameters that changed,
// Cancel reverts a parameter that only had its server value, and a hundred
// showings neither grow the parameter sets nor show stale values.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "zavconfig/StatusDialogCallback.h"

#include "plat/ParameterSet.h"
#include "plat/TimerManager.h"
#include "serverconfig/InputsPage.h"
#include "serverconfig/OptionsDialog.h"
#include "tx/TXWRootLayout.h"
#include "tx/TXWindow.h"
#include "ui/PropertiesDialog.h"
#include "zavconfig/zavext.h"

#include "OptionsServerParams.h"
#include "XzavTestServer.h"
#include "ZavconfigAppInit.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using testing_support::XzavDouble;
using zavconfig::StatusDialogCallback;

namespace {

class OptionsDialogServerTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Message boxes take their title from it; applying writes its file.
    testing_support::zavconfigAppInit();
    ASSERT_TRUE(xzav.start());
    server = xzav.server;
    dpy = xzav.dpy;
    for (const auto& p : testing_support::optionsServerParams)
      put(p[0], p[2], p[1]);
    TXWindow::init(dpy, "Zavconfig");
    serverconfig::OptionsDialog::advancedParam.setParam("1", 50);
    callback = std::make_unique<StatusDialogCallback>(dpy, nullptr);
    callback->reloadParams(&serverSet);
    requests();
  }
  void TearDown() override {
    dialog.reset();
    callback.reset();
    serverconfig::OptionsDialog::advancedParam.unsetParam(50);
    TXWRootLayout::release(dpy);
    TXWindow::shutdown(dpy);
  }

  void put(const char* name, const char* value, const char* kind = "string") {
    server->control(std::string("{\"cmd\": \"put_param\", \"name\": \"") + name +
                    "\", \"value\": \"" + value + "\", \"kind\": \"" + kind + "\"}");
  }
  // The setParam requests since the last call.
  std::vector<std::string> requests() {
    std::vector<std::string> fresh;
    for (const std::string& request : xzav.requests())
      if (request.rfind("setParam", 0) == 0)
        fresh.push_back(request);
    return fresh;
  }
  // Shows the options, on the inputs page.
  serverconfig::OptionsDialog& open() {
    if (!dialog)
      dialog = std::make_unique<serverconfig::OptionsDialog>(dpy, callback.get(), &serverSet);
    dialog->showOptions();
    dialog->properties()->getTabSheets()->getSheets()->setCurrent(1);
    XSync(dpy, False);
    TXWindow::handleXEvents(dpy);
    return *dialog;
  }
  void press(wvw::WLabelButton* button) { dialog->properties()->onClick(button); }
  void toggle(wvw::WLabelCheckBox* box) { box->getCheckBox()->onClick(box->getCheckBox()); }
  int count(plat::ParameterSet* set) {
    int n = 0;
    for (plat::ConfigParameter* p = set->getFirst(); p; p = p->getNext())
      n++;
    return n;
  }
  std::string value(const char* name) { return serverSet.get(name)->getValueStr().c_str(); }

  XzavDouble* server = nullptr;
  Display* dpy = nullptr;
  testing_support::XzavTestServer xzav;
  plat::ParameterSet serverSet{"Xzav"};
  plat::TimerManager timers; // repaints wait on a timer
  std::unique_ptr<StatusDialogCallback> callback;
  std::unique_ptr<serverconfig::OptionsDialog> dialog;
};

} // namespace

TEST_F(OptionsDialogServerTest, OkAndApplySendExactlyTheChangedParameters) {
  serverconfig::OptionsDialog& d = open();
  press(d.properties()->getApplyButton());
  EXPECT_EQ(requests(), std::vector<std::string>{}) << "showing the pages sends nothing";
  toggle(d.inputsPage()->chatBox());
  toggle(d.inputsPage()->clipboardBox());
  press(d.properties()->getApplyButton());
  std::vector<std::string> sent = requests();
  std::sort(sent.begin(), sent.end());
  EXPECT_EQ(sent,
            (std::vector<std::string>{"setParam \"AcceptCutText=0\"", "setParam \"EnableChat=0\"",
                                      "setParam \"SendCutText=0\""}));
  press(d.properties()->getApplyButton());
  EXPECT_EQ(requests(), std::vector<std::string>{});
  toggle(d.inputsPage()->chatBox());
  press(d.properties()->getOkButton());
  EXPECT_EQ(requests(), std::vector<std::string>{"setParam \"EnableChat=1\""});
  EXPECT_FALSE(d.isMapped());
}

TEST_F(OptionsDialogServerTest, CancelRevertsAParameterThatOnlyHadItsServerValue) {
  serverconfig::OptionsDialog& d = open();
  toggle(d.inputsPage()->filesBox());
  EXPECT_EQ(value("ShareFiles"), "0");
  press(d.properties()->getCancelButton());
  EXPECT_EQ(value("ShareFiles"), "1");
  EXPECT_EQ(serverSet.get("ShareFiles")->getValueStrs().size(), 1u);
  open();
  press(dialog->properties()->getApplyButton());
  EXPECT_EQ(requests(), std::vector<std::string>{});
}

TEST_F(OptionsDialogServerTest, AHundredShowingsReloadInPlace) {
  serverconfig::OptionsDialog& d = open();
  int working = count(&serverSet), reference = count(d.referenceSet());
  for (int i = 0; i < 100; i++) {
    // Changed elsewhere (zavconfig -set), then shown again.
    put("Desktop", ("desktop " + std::to_string(i)).c_str());
    put("EnableChat", i % 2 ? "1" : "0", "bool");
    press(d.properties()->getCancelButton());
    open();
    ASSERT_EQ(value("Desktop"), "desktop " + std::to_string(i));
    ASSERT_EQ(d.inputsPage()->chatBox()->getCheckBox()->isChecked(), i % 2 == 1) << i;
  }
  EXPECT_EQ(count(&serverSet), working);
  EXPECT_EQ(count(d.referenceSet()), reference);
  press(d.properties()->getOkButton());
  EXPECT_EQ(requests(), std::vector<std::string>{}) << "nothing stale is sent back";
}
