// The product icon as _NET_WM_ICON data: three sizes, each its width, height
// and ARGB pixels, decoded from the built-in icon file.
#include <gtest/gtest.h>

#include "zavconfig/WindowIcon.h"

#include <vector>

namespace {

TEST(WindowIcon, ThreeSizesOfArgbPixels) {
  int count = 0;
  const unsigned long* data = zavconfig::zavserverIconData(&count);
  ASSERT_EQ(count, 3 * 2 + 16 * 16 + 32 * 32 + 48 * 48);
  size_t at = 0;
  for (unsigned long size : {16ul, 32ul, 48ul}) {
    EXPECT_EQ(data[at], size);
    EXPECT_EQ(data[at + 1], size);
    const unsigned long* pixels = data + at + 2;
    // Every element is one 32-bit pixel; the picture has opaque and
    // transparent parts (the corners of the round logo are clear).
    bool opaque = false, clear = false;
    for (unsigned long i = 0; i < size * size; i++) {
      EXPECT_LE(pixels[i], 0xFFFFFFFFul);
      opaque = opaque || (pixels[i] >> 24) == 0xFF;
      clear = clear || (pixels[i] >> 24) == 0;
    }
    EXPECT_TRUE(opaque) << size;
    EXPECT_TRUE(clear) << size;
    at += 2 + size * size;
  }
  // Built once: a second call gives the same data.
  int again = 0;
  EXPECT_EQ(zavconfig::zavserverIconData(&again), data);
  EXPECT_EQ(again, count);
}

} // namespace
