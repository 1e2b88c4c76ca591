#include "gtk/Exception.h"
#include "gtk/Functions.h"
#include "gtk/IconInfo.h"
#include "gtk/IconTheme.h"
#include "gtk/InstanceType.h"
#include "gtk/LoadFailed.h"
#include "gtk/Object.h"
#include "gtk/Pixbuf.h"

#include "CaptureLogger.h"
#include "GtkLibraries.h"
#include "ThrownMessage.h"

#include <glib-object.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using testing_support::ScopedCapture;
using testing_support::thrownMessage;

namespace {

namespace fs = std::filesystem;

// The tests look into the objects the wrappers hand out through the real
// GObject, which the library under test bound by itself.
guint refCount(const void* object) {
  return G_OBJECT(object)->ref_count;
}

void noteFinalized(gpointer flag, GObject*) {
  *static_cast<bool*>(flag) = true;
}

TEST(GtkBinding, OptionalFunctionsAreFoundUnderVersionedNames) {
  // First in the file, so that nothing has bound these functions yet when
  // the whole program runs in one process.
  ScopedCapture log("DynamicFn", 120);
  EXPECT_NE(gtk::g_error_free_optional(), nullptr);
  EXPECT_NE(gtk::gtk_status_icon_position_menu_optional(), nullptr);
  EXPECT_TRUE(log.logger.contains("found 'g_error_free' in 'libglib-2.0.so.0'"));
  EXPECT_TRUE(
      log.logger.contains("found 'gtk_status_icon_position_menu' in 'libgtk-x11-2.0.so.0'"));
}

TEST(GtkBinding, GnomeLibrariesMissingThenPresent) {
  // One test does all the steps in order: it alone changes the stub folder.
  const fs::path dir = ZAV_GNOME_STUB_DIR;
  for (const char* name : {"libgnomeui-2.so.0", "libgnomeui-2.so", "libgnomevfs-2.so.0"})
    fs::remove(dir / name);

  auto lookup = [] {
    char* name = gtk::gnome_icon_lookup(nullptr, nullptr, "file:///a.txt", nullptr, nullptr,
                                        "text/plain", 0, nullptr);
    std::string s = name;
    gtk::g_free(name);
    return s;
  };
  EXPECT_EQ(thrownMessage(lookup), "failed to load gnome_icon_lookup");
  // Each call tries again; a library under the unversioned name only is not
  // accepted.
  fs::copy_file(ZAV_GNOMEUI_STUB, dir / "libgnomeui-2.so");
  EXPECT_EQ(thrownMessage(lookup), "failed to load gnome_icon_lookup");

  auto mime = [] { return std::string(gtk::gnome_vfs_get_mime_type_for_name("a.txt")); };
  EXPECT_EQ(thrownMessage(mime), "failed to load "
                                 "gnome_vfs_get_mime_type_for_name,gnome_vfs_mime_type_from_name");

  // Once present under their versioned names the libraries are bound; the
  // VFS library has only the older function name.
  fs::copy_file(ZAV_GNOMEVFS_STUB, dir / "libgnomevfs-2.so.0");
  EXPECT_EQ(mime(), "text/x-stub-from-name");
  fs::copy_file(ZAV_GNOMEUI_STUB, dir / "libgnomeui-2.so.0");
  EXPECT_EQ(lookup(), "stub-icon:text/plain");

  for (const char* name : {"libgnomeui-2.so.0", "libgnomeui-2.so", "libgnomevfs-2.so.0"})
    fs::remove(dir / name);
}

TEST(GtkBinding, LoadFailedMessageIsCut) {
  std::string longName(400, 's');
  gtk::LoadFailed e(longName.c_str());
  EXPECT_EQ(std::string(e.str()), ("failed to load " + longName).substr(0, 255));
}

TEST(GtkBinding, ExceptionFromErrorRecord) {
  EXPECT_STREQ(gtk::Exception(nullptr).str(), "no error");
  struct Case {
    size_t length;
    size_t kept;
  } cases[] = {{0, 0}, {20, 20}, {255, 255}, {300, 255}};
  for (const Case& c : cases) {
    std::string text(c.length, 'e');
    // The exception frees the record (the leak checker watches this).
    ::GError* error = g_error_new_literal(G_FILE_ERROR, G_FILE_ERROR_NOENT, text.c_str());
    gtk::Exception e(reinterpret_cast<gtk::GError*>(error));
    EXPECT_EQ(std::string(e.str()), text.substr(0, c.kept)) << c.length;
  }
}

TEST(GtkBinding, PixbufFromFileFailureCarriesTheLibraryMessage) {
  std::string message = thrownMessage([] { gtk::Pixbuf::fromFile("/nonexistent/icon.png"); });
  EXPECT_NE(message.find("/nonexistent/icon.png"), std::string::npos) << message;
}

TEST(GtkBinding, PixbufFromDataRowStrideAndProperties) {
  struct Case {
    bool alpha;
    int stride;
    int channels;
  } cases[] = {{false, 144, 3}, {true, 192, 4}};
  for (const Case& c : cases) {
    std::vector<guchar> data(static_cast<size_t>(c.stride) * 16, 0x80);
    gtk::Pixbuf p = gtk::Pixbuf::fromData(data.data(), c.alpha, 48, 16);
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p.getRowstride(), c.stride);
    EXPECT_EQ(p.getWidth(), 48);
    EXPECT_EQ(p.getHeight(), 16);
    EXPECT_EQ(p.getNChannels(), c.channels);
    EXPECT_EQ(p.getBitsPerSample(), 8);
    EXPECT_EQ(p.hasAlpha(), c.alpha);
    EXPECT_EQ(p.getPixels(), data.data());
  }
}

TEST(GtkBinding, NonFloatingObjectIsTakenWithoutAnExtraReference) {
  std::vector<guchar> data(4 * 4 * 4);
  bool finalized = false;
  {
    gtk::Pixbuf p = gtk::Pixbuf::fromData(data.data(), true, 4, 4);
    g_object_weak_ref(G_OBJECT(p.get()), noteFinalized, &finalized);
    EXPECT_EQ(refCount(p.get()), 1u);
  }
  EXPECT_TRUE(finalized);
}

TEST(GtkBinding, FloatingObjectIsSunkAndReleasedOnce) {
  bool finalized = false;
  gtk::Object holder;
  gpointer object = g_object_new(G_TYPE_INITIALLY_UNOWNED, nullptr);
  ASSERT_TRUE(g_object_is_floating(object));
  g_object_weak_ref(G_OBJECT(object), noteFinalized, &finalized);
  holder.reset(object);
  EXPECT_FALSE(g_object_is_floating(object));
  EXPECT_EQ(refCount(object), 1u);
  // Replacing releases the old object first.
  holder.reset(g_object_new(G_TYPE_OBJECT, nullptr));
  EXPECT_TRUE(finalized);
  holder.release();
  EXPECT_TRUE(holder.empty());
  holder.release();
}

TEST(GtkBinding, InstanceTypeTest) {
  EXPECT_FALSE(gtk::isInstanceOf(nullptr, gtk::g_themed_icon_get_type()));
  gtk::GTypeInstance classless{nullptr};
  EXPECT_FALSE(gtk::isInstanceOf(&classless, G_TYPE_OBJECT));

  gtk::Object icon(gtk::g_content_type_get_icon("text/plain"));
  ASSERT_FALSE(icon.empty());
  EXPECT_TRUE(gtk::isInstanceOf(icon.get(), gtk::g_themed_icon_get_type()));
  // Derived: a themed icon is a GObject through its parent type.
  EXPECT_TRUE(gtk::isInstanceOf(icon.get(), G_TYPE_OBJECT));
  const gtk::gchar* const* names = icon.themedIconNames();
  ASSERT_NE(names, nullptr);
  ASSERT_NE(names[0], nullptr);
  EXPECT_STREQ(names[0], "text-plain");

  std::vector<guchar> data(4 * 4 * 3);
  gtk::Pixbuf p = gtk::Pixbuf::fromData(data.data(), false, 4, 4);
  EXPECT_FALSE(gtk::isInstanceOf(p.get(), gtk::g_themed_icon_get_type()));
}

TEST(GtkBinding, IconFromTheTheme) {
  gtk::g_type_init();
  gtk::IconTheme theme;
  theme.setCustomTheme("Adwaita");
  gtk::IconInfo info;
  info.lookupIcon(theme, "no-such-icon-anywhere", 48, 0);
  EXPECT_TRUE(info.empty());
  const char* names[] = {"no-such-icon-anywhere", "text-x-generic", nullptr};
  info.chooseIcon(theme, names, 48, gtk::GTK_ICON_LOOKUP_FORCE_SIZE);
  ASSERT_FALSE(info.empty());
  gtk::Pixbuf icon = gtk::Pixbuf::loadIcon(info);
  ASSERT_FALSE(icon.empty());
  EXPECT_EQ(icon.getWidth(), 48);
  EXPECT_EQ(icon.getHeight(), 48);
  // The information keeps the icon it loaded until it is freed.
  info.release();
  EXPECT_TRUE(info.empty());
  EXPECT_EQ(refCount(icon.get()), 1u);
}

TEST(GtkBinding, EmptyHoldersReleaseWithoutTheLibrary) {
  gtk::IconInfo info;
  info.release();
  gtk::Object object;
  object.release();
  gtk::Pixbuf pixbuf;
  EXPECT_TRUE(pixbuf.empty());
}

} // namespace
