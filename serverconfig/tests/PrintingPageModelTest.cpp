// The printing page's model: the five status texts by server mode, printing
// system and backend, which boxes can be used, and what the clicks store.
// gtest comes before the X headers (through the options dialog's), whose
// macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/PrintingPageModel.h"

#include "plat/ParameterSet.h"
#include "serverconfig/tests/PrintingPageWorld.h"

#include <unistd.h>

namespace {

using serverconfig::PrintingPageModel;

using namespace testing_support::printing_texts;

class PrintingPage : public ::testing::Test, protected testing_support::PrintingPageWorld {};

} // namespace

TEST_F(PrintingPage, StatusByModeSystemAndBoxes) {
  for (const testing_support::PrintingStatusCase& c : testing_support::printingStatusCases) {
    dialog.mode = c.mode;
    system.available = c.available;
    system.backend = c.backend;
    enable.setValue(c.share, 50);
    changeDefault.setValue(c.changeDefault, 50);
    PrintingPageModel model(dialog, params, &system);
    model.load();
    SCOPED_TRACE(c.text.substr(0, 40));
    EXPECT_EQ(model.statusText(), c.text);
    EXPECT_EQ(model.shareEnabled(), c.shareEnabled);
    EXPECT_EQ(model.changeDefaultEnabled(), c.defaultEnabled);
    // The boxes show the values in force even while disabled.
    EXPECT_EQ(model.share(), c.share);
    EXPECT_EQ(model.changeDefault(), c.changeDefault);
  }
}

TEST_F(PrintingPage, CheckingShareStoresAtOnceAndEnablesDefaultBox) {
  PrintingPageModel model(dialog, params, &system);
  model.load();
  EXPECT_EQ(model.statusText(), disabled);
  EXPECT_FALSE(model.changeDefaultEnabled());

  model.clickShare(true);
  EXPECT_TRUE(enable.getValue());
  EXPECT_TRUE(model.changeDefaultEnabled());
  EXPECT_EQ(model.statusText(), enabledKeeps);

  model.clickChangeDefault(true);
  EXPECT_STREQ(changeDefault.getValueStr().c_str(), "1");
  EXPECT_EQ(model.statusText(), enabledMakesDefault);

  // Unchecking share disables the default box and leaves its parameter.
  model.clickShare(false);
  EXPECT_FALSE(enable.getValue());
  EXPECT_FALSE(model.changeDefaultEnabled());
  EXPECT_TRUE(changeDefault.getValue());
  EXPECT_EQ(model.statusText(), disabled);
  EXPECT_EQ(enable.getValueStrs().count(50), 1u) << "stored at priority 50";
}

TEST_F(PrintingPage, DisabledBoxesChangeNothing) {
  system.backend = false;
  PrintingPageModel model(dialog, params, &system);
  model.load();
  model.clickShare(true);
  model.clickChangeDefault(true);
  EXPECT_FALSE(enable.getValue());
  EXPECT_FALSE(changeDefault.getValue());
  EXPECT_EQ(model.statusText(), noBackend);
}

TEST_F(PrintingPage, WithoutTheParameterShareBoxStaysDisabled) {
  plat::ParameterSet bare("bare");
  PrintingPageModel model(dialog, bare, &system);
  model.load();
  EXPECT_FALSE(model.shareEnabled());
  EXPECT_FALSE(model.changeDefaultEnabled());
  model.clickShare(true);
  EXPECT_FALSE(model.share());
}

TEST_F(PrintingPage, RealPrintingSystemIsAsked) {
  // This machine has the printing library but not the product's backend.
  PrintingPageModel model(dialog, params);
  model.load();
  if (access("/usr/lib/cups/backend/zav", F_OK) == 0)
    EXPECT_NE(model.statusText(), noBackend);
  else
    EXPECT_EQ(model.statusText(), noBackend);
}
