// Start-up steps that run before the display is opened, checked in-process.
// gtest comes before Xlib, whose macros clash with its names.
#include <gtest/gtest.h>

#include "zavconfig/Main.h"

#include "wvw/FontProp.h"
#include "wvw/Style.h"
#include "wvw/Widget.h"

#include <cstdlib>
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
