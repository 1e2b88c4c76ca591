#include "gtk/TrayIcon.h"
#include "gtk/Functions.h"
#include "gtk/Menu.h"
#include "gtk/Pixbuf.h"

#include "ChildProcess.h"
#include "GtkLibraries.h"
#include "GtkTestFunction.h"
#include "XvfbServer.h"

#include <dlfcn.h>
#include <glib-object.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using gtk::GtkWidget;
using gtk::guchar;
using testing_support::XvfbServer;

using testing_support::gtkTestFn;

void activate(GtkWidget* item) {
  gtkTestFn<void (*)(GtkWidget*)>("gtk_menu_item_activate")(item);
}

bool visible(void* widget) {
  return gtkTestFn<int (*)(void*)>("gtk_widget_get_visible")(widget) != 0;
}

// Runs the GLib main loop until the condition holds or ten seconds pass.
bool iterateUntil(const std::function<bool()>& done, int milliseconds = 10000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    if (done())
      return true;
    if (!g_main_context_iteration(nullptr, FALSE))
      g_usleep(10000);
  }
  return done();
}

struct Recorder : gtk::Menu::Callback {
  std::vector<std::uint32_t> ids;
  void onCommand(std::uint32_t id) override { ids.push_back(id); }
};

struct CountingIcon : gtk::TrayIcon {
  int changes = 0;
  void onChanged() override { changes++; }
  bool embedded() {
    return statusIcon() && gtk::gtk_status_icon_is_embedded(statusIcon()) &&
           gtk::gtk_status_icon_get_visible(statusIcon());
  }
};

// GTK is set up once per process, on the display it opens then, and keeps
// that display to the end: every test of the process shares one Xvfb, made
// on first use and stopped when the process ends.
XvfbServer& sharedXvfb() {
  static XvfbServer xvfb("800x600x24");
  static bool ready = false;
  if (!ready) {
    setenv("DISPLAY", xvfb.display().c_str(), 1);
    int argc = 1;
    char name[] = "gtk-tests";
    char* args[] = {name, nullptr};
    char** argv = args;
    gtk::gtk_init(&argc, &argv);
    ready = true;
  }
  return xvfb;
}

class GtkTray : public ::testing::Test {
protected:
  void startTray() {
    int out = -1;
    tray = testing_support::child::spawn({"trayer", "--expand", "false"}, &out, 3, "/dev/null");
    close(out);
  }

  void TearDown() override {
    if (tray > 0)
      testing_support::child::stop(tray);
  }

  XvfbServer& xvfb = sharedXvfb();
  pid_t tray = -1;
};

TEST_F(GtkTray, MenuIdsChecksAndCommands) {
  gtk::Menu menu;
  EXPECT_EQ(menu.addItem("Status..."), 1u);
  EXPECT_EQ(menu.addSeparator(), 2u);
  EXPECT_EQ(menu.addItem("Connect"), 3u);
  EXPECT_EQ(menu.addItem("Guest Login", -1, true), 4u);

  // Activation before a callback is set is ignored without a message.
  testing::internal::CaptureStderr();
  activate(menu.findItem(3));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  Recorder recorder;
  menu.setCallback(&recorder);
  activate(menu.findItem(3));
  EXPECT_EQ(recorder.ids, std::vector<std::uint32_t>{3});

  EXPECT_FALSE(menu.isChecked(4));
  menu.setChecked(4, true);
  EXPECT_TRUE(menu.isChecked(4));
  // Setting the check mark raises "activate" too.
  EXPECT_EQ(recorder.ids, (std::vector<std::uint32_t>{3, 4}));

  testing::internal::CaptureStderr();
  EXPECT_FALSE(menu.isChecked(99));
  menu.setSensitive(99, false);
  menu.setChecked(99, true);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unrecognised menu item ID: 99\nUnrecognised menu item ID: 99\n"
            "Unrecognised menu item ID: 99\n");
}

TEST_F(GtkTray, CommandsReachTheIconsCopyAfterTheOriginalIsGone) {
  CountingIcon icon;
  Recorder recorder;
  {
    gtk::Menu menu;
    menu.addItem("One");
    menu.addItem("Two");
    menu.setCallback(&recorder);
    icon.setMenu(menu);
  }
  activate(icon.getMenu().findItem(2));
  EXPECT_EQ(recorder.ids, std::vector<std::uint32_t>{2});
}

TEST_F(GtkTray, IconEmbedsInTheTrayAndPopsItsMenuUp) {
  startTray();
  CountingIcon icon;
  gtk::Menu menu;
  menu.addItem("Status...");
  icon.setMenu(menu);
  std::vector<guchar> pixels(48 * 48 * 3, 0x40);
  gtk::Pixbuf picture = gtk::Pixbuf::fromData(pixels.data(), false, 48, 48);
  icon.setIcon(picture);
  icon.setTooltip("tip");
  icon.show();
  ASSERT_TRUE(iterateUntil([&] { return icon.embedded(); }));
  EXPECT_GT(icon.changes, 0);

  // The menu request pops the menu up at the icon.
  icon.onMenu(3, 0);
  EXPECT_TRUE(iterateUntil([&] { return visible(menu.gtkMenu()); }));

  icon.hide();
  EXPECT_TRUE(iterateUntil([&] { return !icon.embedded(); }));
}

TEST_F(GtkTray, WithoutATrayTheIconNeverEmbeds) {
  CountingIcon icon;
  icon.show();
  EXPECT_FALSE(iterateUntil([&] { return icon.embedded(); }, 1000));
  // A menu request with an empty menu shows nothing.
  icon.onMenu(3, 0);
  EXPECT_EQ(icon.getMenu().gtkMenu(), nullptr);
}

} // namespace
