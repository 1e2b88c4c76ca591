#include "rfb/ColourCube.h"

#include <gtest/gtest.h>

using rfb::Colour;
using rfb::ColourCube;

TEST(ColourCube, LevelsSpreadOverTheFullRange) {
  ColourCube cube(6, 6, 6);
  EXPECT_EQ(cube.size(), 216);
  EXPECT_TRUE(cube.isOrthogonal());
  Colour c;
  cube.lookup(cube.indexOf(5, 0, 1), &c);
  EXPECT_EQ(c, Colour(255, 0, 51));
  cube.lookup(cube.indexOf(2, 3, 4), &c);
  EXPECT_EQ(c, Colour(102, 153, 204));
  // Beyond the cube the colour stays as it was.
  Colour untouched(1, 2, 3);
  cube.lookup(216, &untouched);
  EXPECT_EQ(untouched, Colour(1, 2, 3));
}

TEST(ColourCube, NearestLevelsGiveTheTableEntry) {
  ColourCube cube(6, 6, 6);
  struct Case {
    Colour colour;
    int r, g, b;
  } cases[] = {
      {{0, 0, 0}, 0, 0, 0},     {{255, 255, 255}, 5, 5, 5}, {{25, 26, 77}, 0, 1, 2},
      {{127, 128, 0}, 2, 3, 0}, {{300, -5, 255}, 5, 0, 5},
  };
  for (const Case& t : cases)
    EXPECT_EQ(cube.lookupRGB(t.colour), cube.indexOf(t.r, t.g, t.b))
        << t.colour.r << "," << t.colour.g << "," << t.colour.b;
  cube.set(cube.indexOf(5, 5, 5), 42);
  EXPECT_EQ(cube.lookupRGB(Colour(250, 250, 250)), 42);
  EXPECT_EQ(cube.get(cube.indexOf(5, 5, 5)), 42u);
}
