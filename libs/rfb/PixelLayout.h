// How one pixel is stored: width in bits, significant bits, byte order, and
// either the maxima and shifts of the colour channels (true colour) or that
// the pixel is a colour-map index. A plain copyable value; the ready-made
// layouts are shared constants that live for the whole run.
#pragma once

#include <cstdint>

namespace rdr {
class InStream;
class OutStream;
} // namespace rdr

namespace rfb {

class PixelLayout {
public:
  // 8 bpp, depth 8, little-endian true colour bgr233 (red in the low bits).
  constexpr PixelLayout()
      : bpp(8), depth(8), bigEndian(false), trueColour(true), redMax(7), greenMax(7), blueMax(3),
        alphaMax(0), redShift(0), greenShift(3), blueShift(6), alphaShift(0) {}
  constexpr PixelLayout(int bpp_, int depth_, bool bigEndian_, bool trueColour_, int redMax_,
                        int greenMax_, int blueMax_, int redShift_, int greenShift_, int blueShift_,
                        int alphaShift_ = 0, int alphaMax_ = 0)
      : bpp(uint8_t(bpp_)), depth(uint8_t(depth_)), bigEndian(bigEndian_), trueColour(trueColour_),
        redMax(uint16_t(redMax_)), greenMax(uint16_t(greenMax_)), blueMax(uint16_t(blueMax_)),
        alphaMax(uint16_t(alphaMax_)), redShift(uint8_t(redShift_)),
        greenShift(uint8_t(greenShift_)), blueShift(uint8_t(blueShift_)),
        alphaShift(uint8_t(alphaShift_)) {}

  // Layouts are compared only through this: byte order matters only above
  // 8 bpp, maxima and shifts only for true colour.
  bool equal(const PixelLayout& other) const;
  // bpp is 8, 16, 24 or 32; 1 <= depth <= bpp; a colour-mapped layout has
  // depth 3..8 and at most 16 bpp;
  // true-colour channels have non-zero maxima and lie inside the pixel.
  bool depthAndBppAreValid() const;
  // True at 8 bpp or for little-endian layouts (the hosts are little-endian).
  bool isNativeEndian() const { return bpp == 8 || !bigEndian; }
  // Turns a big-endian layout whose shifts are whole bytes into the
  // little-endian layout of the same pixels; false (and no change) when a
  // shift is not a multiple of 8 or its byte lies outside the pixel.
  bool makeLittleEndian();
  // The 16-byte wire record. Reading keeps an alpha channel only when the
  // bits of the four maxima add up to the depth; it does not check validity.
  void read(rdr::InStream& is);
  void write(rdr::OutStream& os) const;
  // The short text form: "palN" (N 3..8), "rgbXYZ" or "bgrXYZ" (bit counts
  // 1..9), case-insensitive. False for any other text; the caller then
  // discards the layout.
  bool parse(const char* text);
  // Appends the description to a caller's NUL-terminated buffer of
  // describeSize characters (cut at describeSize - 1).
  void describe(char* buffer) const;
  static constexpr int describeSize = 128;

  int bytesPerPixel() const { return bpp / 8; }

  static const PixelLayout xrgb32LittleEndian;
  static const PixelLayout xbgr32LittleEndian;
  static const PixelLayout rgb565;
  static const PixelLayout rgb555;
  static const PixelLayout rgb222;
  static const PixelLayout pal8;
  static const PixelLayout argb32;
  static const PixelLayout argb32LittleEndian;
  static const PixelLayout rgba32BigEndian;

  uint8_t bpp;
  uint8_t depth;
  bool bigEndian;
  bool trueColour;
  uint16_t redMax;
  uint16_t greenMax;
  uint16_t blueMax;
  uint16_t alphaMax;
  uint8_t redShift;
  uint8_t greenShift;
  uint8_t blueShift;
  uint8_t alphaShift;
};

} // namespace rfb
