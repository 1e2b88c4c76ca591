// Start-up steps that run before the display is opened, checked in-process.
// gtest comes before Xlib, whose macros clash with its names.
#include <gtest/gtest.h>

#include "zavconfig/Main.h"

#include "plat/LogWriter.h"

#include "wvw/FontProp.h"
#include "wvw/Style.h"
#include "wvw/Widget.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <string>

TEST(ZavconfigStartUp, DefaultWidgetStyleUsesTheProportionalFont) {
  char home[] = "/tmp/zavconfig-startup-XXXXXX";
  ASSERT_NE(mkdtemp(home), nullptr);
  setenv("HOME", home, 1);
  // No X server answers on this display: start-up stops after the style is set.
  char arg0[] = "zavconfig", arg1[] = "display=:4999";
  char* argv[] = {arg0, arg1, nullptr};
  EXPECT_EQ(zavconfig::zavconfigMain(2, argv), 1);
  EXPECT_EQ(wvw::Widget::getDefaultStyle()->font, &wvw::FontProp::helv15_u);
  std::string cleanup = std::string("rm -rf ") + home;
  EXPECT_EQ(system(cleanup.c_str()), 0);
}

// A "-Log" element names one writer: two source files sharing a name would
// leave one of them out of reach.
TEST(ZavconfigStartUp, EveryLogWriterHasItsOwnName) {
  auto lower = [](std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return name;
  };
  std::set<std::string> names;
  for (plat::LogWriter* w = plat::LogWriter::log_writers; w; w = w->getNext())
    EXPECT_TRUE(names.insert(lower(w->getName())).second)
        << "shared log writer name " << w->getName();
  for (const char* name :
       {"PrintingPage", "PrintingPageModel", "ExtendedAuth", "ExtPasswordDialog"})
    EXPECT_EQ(names.count(lower(name)), 1u) << name;
}
