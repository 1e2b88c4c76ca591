#include "wvw/IconFile.h"
#include "wvw/WinIcoFile.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(IconFile, RegisteringTwiceKeepsTheLaterRecord) {
  static const uint8_t first[] = {1, 2, 3};
  static const uint8_t second[] = {4, 5};
  wvw::registerIcon("test-twice.ico", 3, first);
  wvw::registerIcon("test-twice.ico", 2, second);
  wvw::IconFile f = wvw::findIcon("test-twice.ico");
  EXPECT_EQ(f.size, 2u);
  EXPECT_EQ(f.data, second);
}

TEST(IconFile, UnknownNameHasNoData) {
  wvw::IconFile f = wvw::findIcon("no-such.ico");
  EXPECT_EQ(f.size, 0u);
  EXPECT_EQ(f.data, nullptr);
  EXPECT_EQ(wvw::findIcon(nullptr).size, 0u);
}

// The built-in icon files hold every size the dialogs ask for.
TEST(IconFile, BuiltInIconsHoldTheSizesAskedFor) {
  struct Case {
    const char* name;
    int size;
  } cases[] = {
      {"zavserver.ico", 48},      {"cross.ico", 24},          {"tick.ico", 24},
      {"warning.ico", 24},        {"FTClose_active.ico", 20}, {"FTClose.ico", 20},
      {"FTPause_active.ico", 20}, {"FTPause.ico", 20},        {"FTPlay_active.ico", 20},
      {"FTPlay.ico", 20},         {"FTRetry_active.ico", 20}, {"FTRetry.ico", 20},
      {"FTFail.ico", 17},         {"FTFiles.ico", 48},        {"FTFileUNIX.ico", 48},
      {"FTFolderUNIX.ico", 48},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wvw::IconFile f = wvw::findIcon(c.name);
    ASSERT_GT(f.size, 0u);
    zav::WinIcoFile file(f.data, f.size);
    int stride = 0;
    const uint8_t* top = nullptr;
    ASSERT_NO_THROW(top = file.getImageRows(c.size, c.size, 32, &stride));
    EXPECT_EQ(stride, -c.size * 4);
    // Something is drawn: at least a line's worth of visible pixels.
    int visible = 0;
    for (int y = 0; y < c.size; y++)
      for (int x = 0; x < c.size; x++)
        visible += top[ptrdiff_t(y) * stride + x * 4 + 3] != 0;
    EXPECT_GE(visible, c.size);
  }
}
