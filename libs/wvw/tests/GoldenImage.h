// Compares a painted buffer with a golden image kept beside the tests
// (tests/data/<name>.xrgb, raw 32-bit pixels) and leaves a PNG of it in the
// build tree to be looked at. ZAV_UPDATE_GOLDEN=1 rewrites the golden file
// instead; look at the PNG before committing it.
#pragma once

#include "PngFile.h"

#include "rfb/ManagedPixelBuffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline ::testing::AssertionResult matchesGolden(rfb::ManagedPixelBuffer& pb,
                                                const std::string& name) {
  std::vector<uint8_t> pixels(size_t(pb.width()) * size_t(pb.height()) * 4);
  pb.getImage(pixels.data(), pb.getRect());
  testing_support::writePng(pb, std::string(ZAV_BINARY_DIR) + "/" + name + ".png");
  std::string golden = std::string(ZAV_SOURCE_DIR) + "/libs/wvw/tests/data/" + name + ".xrgb";
  if (getenv("ZAV_UPDATE_GOLDEN")) {
    std::ofstream(golden, std::ios::binary)
        .write(reinterpret_cast<const char*>(pixels.data()), std::streamsize(pixels.size()));
    return ::testing::AssertionSuccess() << "golden image written";
  }
  std::ifstream in(golden, std::ios::binary);
  if (!in)
    return ::testing::AssertionFailure() << "no golden image " << golden;
  std::vector<uint8_t> expected((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  if (pixels != expected)
    return ::testing::AssertionFailure()
           << "the painted pixels differ from " << golden << " (see " << name << ".png)";
  return ::testing::AssertionSuccess();
}
