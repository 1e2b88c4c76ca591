// A reader over one icon file (.ico) held in memory: finds the image of a
// given width, height and bits per pixel and hands out its pixel rows. Every
// read is bounded by the file's size, so a damaged file is refused rather
// than read past its end. The bytes are not owned; a reader is a short-lived
// view made for one look-up.
#pragma once

#include "rfb/PixelLayout.h"

#include <cstdint>

namespace zav {

class WinIcoFile {
public:
  WinIcoFile(const uint8_t* data, uint32_t size);
  virtual ~WinIcoFile();

  // The first stored pixel row (the bottom row of the picture) of the first
  // image of that size and depth. Throws plat::Exception "Error in icon data
  // for %dx%d @ %dbpp" for a file that is not an icon file or whose image
  // lies outside it, "No matching icon for %dx%d @ %dbpp" when it has no such
  // image.
  const uint8_t* findImage(int width, int height, int bpp);
  // The top row of the picture and, in *stride, the (negative) distance in
  // bytes to the row below it. Throws as findImage.
  const uint8_t* getImageRows(int width, int height, int bpp, int* stride);

  // Little-endian reads at any alignment; the advancing forms move the
  // cursor past the value.
  static uint16_t readU16LE(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
  static uint32_t readU32LE(const uint8_t* p) {
    return uint32_t(readU16LE(p)) | uint32_t(readU16LE(p + 2)) << 16;
  }
  static uint16_t readU16LE(const uint8_t** cursor) {
    uint16_t v = readU16LE(*cursor);
    *cursor += 2;
    return v;
  }
  static uint32_t readU32LE(const uint8_t** cursor) {
    uint32_t v = readU32LE(*cursor);
    *cursor += 4;
    return v;
  }

  // The layout of 32-bit icon pixels: little-endian, blue, green, red and
  // alpha bytes in memory order.
  static const rfb::PixelLayout& pixelLayout();

private:
  const uint8_t* data_;
  uint32_t size_;
};

} // namespace zav
