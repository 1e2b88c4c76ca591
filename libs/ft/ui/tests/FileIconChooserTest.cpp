#include "ft/ui/FileIconChooser.h"

#include "gtk/Pixbuf.h"

#include "CaptureLogger.h"
#include "GtkLibraries.h"
#include "GtkTestFunction.h"
#include "PrivateMounts.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using ft::FileIconChooser;
using testing_support::ScopedCapture;
using testing_support::TempDir;

namespace {

// The pixels of an image, row by row, as 32-bit values.
std::vector<uint32_t> pixelsOf(wvw::WImage& image) {
  rfb::ManagedPixelBuffer& pb = image.image();
  std::vector<uint32_t> out(size_t(pb.width()) * size_t(pb.height()));
  pb.getImage(out.data(), pb.getRect());
  return out;
}

bool samePicture(wvw::WImage& a, wvw::WImage& b) {
  return a.image().getPF().equal(b.image().getPF()) && a.width() == b.width() &&
         a.height() == b.height() && pixelsOf(a) == pixelsOf(b);
}

// Pixels that are neither clear nor opaque: where a second multiplication
// by alpha would show.
int translucentPixels(wvw::WImage& image) {
  int alphaShift = image.image().getPF().alphaShift;
  int n = 0;
  for (uint32_t p : pixelsOf(image)) {
    uint32_t a = (p >> alphaShift) & 0xff;
    n += a > 0 && a < 255;
  }
  return n;
}

using testing_support::gtkTestFn;

// A "gnome" icon theme of the test's own, put in front of the chooser's
// search path: its one folder "zavtest" of 48-pixel icons holds only what the
// test draws (with ImageMagick), so the system theme's icons are out of the
// way.
class TestTheme {
public:
  explicit TestTheme(FileIconChooser& chooser) : dir_(tmp_.path() + "/gnome/zavtest") {
    std::string cmd = "mkdir -p '" + dir_ + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    std::ofstream(tmp_.path() + "/gnome/index.theme")
        << "[Icon Theme]\nName=gnome\nDirectories=zavtest\n\n"
        << "[zavtest]\nSize=48\nContext=MimeTypes\nType=Fixed\n";
    auto prepend =
        gtkTestFn<void (*)(gtk::GtkIconTheme*, const char*)>("gtk_icon_theme_prepend_search_path");
    EXPECT_NE(prepend, nullptr);
    if (prepend)
      prepend(chooser.theme().get(), tmp_.path().c_str());
  }
  // An icon of one colour; with alpha or without.
  void draw(const std::string& name, bool alpha) {
    std::string cmd = "convert -size 48x48 xc:'" +
                      std::string(alpha ? "rgba(200,40,40,0.5)" : "rgb(40,200,40)") + "' " +
                      (alpha ? "PNG32:'" : "PNG24:'") + dir_ + "/" + name + ".png'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }

private:
  TempDir tmp_;
  std::string dir_;
};

TEST(FileIconChooser, BuiltInIconsAreCopiedWithTheirAlphaAsItIs) {
  FileIconChooser chooser;
  struct Case {
    const char* icon;
    wvw::WImage* builtIn;
  } cases[] = {{"FTFiles.ico", &chooser.filesImage()},
               {"FTFileUNIX.ico", &chooser.fileImage()},
               {"FTFolderUNIX.ico", &chooser.folderImage()}};
  for (const Case& c : cases) {
    wvw::WImage registry(c.icon, 48);
    // The pictures have soft edges, where a second multiplication shows.
    ASSERT_GT(translucentPixels(registry), 0) << c.icon;
    wvw::WImage row;
    FileIconChooser::copyImage(&row, *c.builtIn);
    EXPECT_TRUE(samePicture(row, registry)) << c.icon;
    EXPECT_EQ(row.width(), 48);
    EXPECT_EQ(row.height(), 48);
  }
  wvw::WImage several;
  chooser.setMultipleIcon(&several);
  wvw::WImage files("FTFiles.ico", 48);
  EXPECT_TRUE(samePicture(several, files));
}

TEST(FileIconChooser, OnlyEightBitPixelsWithAlphaAreTakenFromTheTheme) {
  std::vector<gtk::guchar> rgb(48 * 48 * 3, 0x80);
  gtk::Pixbuf opaque = gtk::Pixbuf::fromData(rgb.data(), false, 48, 48);
  wvw::WImage image;
  EXPECT_FALSE(FileIconChooser::setImageFromPixbuf(&image, opaque));
  EXPECT_EQ(image.image().width(), 0);

  // Two pixels: half-transparent orange and opaque blue, bytes R G B A.
  std::vector<gtk::guchar> rgba = {200, 100, 50, 128, 0, 0, 255, 255};
  gtk::Pixbuf icon = gtk::Pixbuf::fromData(rgba.data(), true, 2, 1);
  ASSERT_TRUE(FileIconChooser::setImageFromPixbuf(&image, icon));
  EXPECT_EQ(image.width(), 2);
  EXPECT_EQ(image.height(), 1);
  const rfb::PixelLayout& pf = image.image().getPF();
  EXPECT_EQ(pf.redShift, 0);
  EXPECT_EQ(pf.greenShift, 8);
  EXPECT_EQ(pf.blueShift, 16);
  EXPECT_FALSE(pf.bigEndian);
  std::vector<uint32_t> px = pixelsOf(image);
  auto channel = [](uint32_t p, int shift) { return int((p >> shift) & 0xff); };
  // Multiplied by alpha once while copying.
  EXPECT_NEAR(channel(px[0], 0), 100, 1);
  EXPECT_NEAR(channel(px[0], 8), 50, 1);
  EXPECT_NEAR(channel(px[0], 16), 25, 1);
  EXPECT_EQ(channel(px[0], 24), 128);
  EXPECT_EQ(px[1], 0xFFFF0000u);
}

TEST(FileIconChooser, AFolderGetsTheThemesFolderIcon) {
  TempDir dir;
  FileIconChooser chooser;
  ScopedCapture log("FileIcon", 100);
  wvw::WImage image;
  chooser.setIconForPath(&image, dir.path().c_str());
  EXPECT_TRUE(log.logger.contains("  'folder'"));
  EXPECT_TRUE(log.logger.contains("chooseIcon succeeded"));
  EXPECT_EQ(image.width(), 48);
  EXPECT_EQ(image.height(), 48);
  EXPECT_FALSE(samePicture(image, chooser.folderImage()));
}

TEST(FileIconChooser, AMissingPathIsAFileNamedByItsContentType) {
  TempDir dir;
  FileIconChooser chooser;
  struct Case {
    const char* name;
    const char* candidate;
    bool builtIn;
  } cases[] = {{"notes.txt", "  'text-plain'", false},
               {"picture.png", "  'image-png'", false},
               // The joined names of a failed share: the last one's type.
               {"photo.jpg, notes.txt", "  'text-plain'", false},
               // The "gnome" theme has no icon for unknown data.
               {"a, b, c", "  'application-octet-stream'", true}};
  for (const Case& c : cases) {
    ScopedCapture log("FileIcon", 100);
    wvw::WImage image;
    chooser.setIconForPath(&image, dir.file(c.name).c_str());
    EXPECT_TRUE(log.logger.contains(c.candidate)) << c.name;
    EXPECT_EQ(image.width(), 48) << c.name;
    EXPECT_EQ(samePicture(image, chooser.fileImage()), c.builtIn) << c.name;
  }
}

TEST(FileIconChooser, AThemeIconWithoutAlphaGivesWayToTheBuiltInFileIcon) {
  FileIconChooser chooser;
  TestTheme theme(chooser);
  theme.draw("text-x-generic", false);
  ScopedCapture log("FileIcon", 100);
  wvw::WImage image;
  chooser.setIconForPath(&image, "/nonexistent/notes.txt");
  EXPECT_TRUE(log.logger.contains("chooseIcon succeeded"));
  EXPECT_TRUE(samePicture(image, chooser.fileImage()));
}

TEST(FileIconChooser, AMissingNameIsTriedAgainWithTheGnomePrefix) {
  FileIconChooser chooser;
  TestTheme theme(chooser);
  theme.draw("gnome-application-octet-stream", true);
  ScopedCapture log("FileIcon", 100);
  wvw::WImage image;
  chooser.setIconForPath(&image, "/nonexistent/data.zavtest-unknown");
  std::vector<std::string> texts;
  for (const auto& line : log.logger.lines)
    texts.push_back(line.text);
  auto at = [&](const std::string& t) {
    for (size_t i = 0; i < texts.size(); i++)
      if (texts[i] == t)
        return int(i);
    return -1;
  };
  ASSERT_GE(at("chooseIcon failed"), 0);
  int plain = at("lookupIcon('application-octet-stream')");
  int prefixed = at("lookupIcon('gnome-application-octet-stream')");
  ASSERT_GE(plain, 0);
  ASSERT_GT(prefixed, plain);
  EXPECT_EQ(texts[size_t(plain) + 1], "failed");
  EXPECT_EQ(texts[size_t(prefixed) + 1], "succeeded");
  // A name never gets the prefix twice.
  EXPECT_EQ(at("lookupIcon('gnome-gnome-application-octet-stream')"), -1);
  // The half-transparent red of the test's icon, multiplied by alpha.
  std::vector<uint32_t> px = pixelsOf(image);
  ASSERT_EQ(px.size(), 48u * 48u);
  EXPECT_NEAR(int(px[0] & 0xff), 100, 2);
  EXPECT_NEAR(int((px[0] >> 24) & 0xff), 128, 1);
}

TEST(FileIconChooser, TheGnomeLibrariesNameTheIconWhenTheContentTypeGivesNone) {
  // One test does all the steps in order: it alone changes the stub folder.
  namespace fs = std::filesystem;
  const fs::path stubs = ZAV_GNOME_STUB_DIR;
  for (const char* name : {"libgnomevfs-2.so.0", "libgnomeui-2.so.0"})
    fs::remove(stubs / name);
  FileIconChooser chooser;
  TestTheme theme(chooser);
  theme.draw("gnome-mime-application-x-zavtest", true);
  const char* path = "/nonexistent/data.zavtest-unknown";
  {
    ScopedCapture log("FileIcon", 100);
    wvw::WImage image;
    chooser.setIconForPath(&image, path);
    EXPECT_TRUE(samePicture(image, chooser.fileImage()));
    EXPECT_TRUE(log.logger.contains("failed to load gnome_vfs_get_mime_type_for_name"));
  }
  // Present, the libraries give the MIME type and its icon name, which the
  // theme has.
  fs::copy_file(ZAV_GNOMEVFS_STUB, stubs / "libgnomevfs-2.so.0");
  fs::copy_file(ZAV_GNOMEUI_STUB, stubs / "libgnomeui-2.so.0");
  wvw::WImage image;
  chooser.setIconForPath(&image, path);
  std::vector<uint32_t> px = pixelsOf(image);
  ASSERT_EQ(px.size(), 48u * 48u);
  EXPECT_NEAR(int(px[0] & 0xff), 100, 2);
  EXPECT_NEAR(int((px[0] >> 24) & 0xff), 128, 1);
  for (const char* name : {"libgnomevfs-2.so.0", "libgnomeui-2.so.0"})
    fs::remove(stubs / name);
}

// Run again by WithoutGtkOnlyTheBuiltInIconsAreUsed in a mount namespace
// where the GTK library cannot be loaded.
TEST(FileIconChooser, BuiltInIconsWhenGtkIsMissing) {
  if (!getenv("ZAV_TEST_GTK_HIDDEN"))
    GTEST_SKIP() << "run by WithoutGtkOnlyTheBuiltInIconsAreUsed";
  EXPECT_EQ(dlopen("libgtk-x11-2.0.so.0", RTLD_LAZY), nullptr);
  TempDir dir;
  FileIconChooser chooser;
  wvw::WImage folder, file, missing;
  chooser.setIconForPath(&folder, dir.path().c_str());
  std::ofstream(dir.file("notes.txt")) << "text\n";
  chooser.setIconForPath(&file, dir.file("notes.txt").c_str());
  chooser.setIconForPath(&missing, dir.file("gone.txt").c_str());
  EXPECT_TRUE(samePicture(folder, chooser.folderImage()));
  EXPECT_TRUE(samePicture(file, chooser.fileImage()));
  EXPECT_TRUE(samePicture(missing, chooser.fileImage()));
}

TEST(FileIconChooser, WithoutGtkOnlyTheBuiltInIconsAreUsed) {
  if (getenv("ZAV_TEST_GTK_HIDDEN"))
    GTEST_SKIP() << "inside the namespace";
  if (!testing_support::privateMountsUnsupported().empty())
    GTEST_SKIP() << testing_support::privateMountsUnsupported();
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  ASSERT_GT(n, 0);
  self[n] = 0;
  // The library file is hidden behind an empty one, so that it cannot be
  // loaded; the test program runs the test above in there.
  TempDir dir;
  std::ofstream(dir.file("hidden.sh"))
      << "set -e\n"
      << "lib=$(readlink -f /usr/lib/x86_64-linux-gnu/libgtk-x11-2.0.so.0)\n"
      << "mount --bind /dev/null \"$lib\"\n"
      << "ZAV_TEST_GTK_HIDDEN=1 exec '" << self
      << "' --gtest_filter=FileIconChooser.BuiltInIconsWhenGtkIsMissing\n";
  std::string cmd = "unshare --mount --propagation private sh '" + dir.file("hidden.sh") + "'";
  int status = std::system(cmd.c_str());
  EXPECT_EQ(status, 0) << cmd;
}

} // namespace
