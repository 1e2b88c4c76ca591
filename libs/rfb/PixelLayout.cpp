#include "rfb/PixelLayout.h"

#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

static plat::LogWriter vlog("PixelLayout");

namespace rfb {

constexpr PixelLayout PixelLayout::xrgb32LittleEndian(32, 24, false, true, 255, 255, 255, 16, 8, 0);
constexpr PixelLayout PixelLayout::xbgr32LittleEndian(32, 24, false, true, 255, 255, 255, 0, 8, 16);
constexpr PixelLayout PixelLayout::rgb565(16, 16, false, true, 31, 63, 31, 11, 5, 0);
constexpr PixelLayout PixelLayout::rgb555(16, 15, false, true, 31, 31, 31, 10, 5, 0);
constexpr PixelLayout PixelLayout::rgb222(8, 6, false, true, 3, 3, 3, 4, 2, 0);
constexpr PixelLayout PixelLayout::pal8(8, 8, false, false, 0, 0, 0, 0, 0, 0);
constexpr PixelLayout PixelLayout::argb32(32, 32, false, true, 255, 255, 255, 16, 8, 0, 24, 255);
constexpr PixelLayout PixelLayout::argb32LittleEndian(32, 32, false, true, 255, 255, 255, 16, 8, 0,
                                                      24, 255);
constexpr PixelLayout PixelLayout::rgba32BigEndian(32, 32, true, true, 255, 255, 255, 24, 16, 8, 0,
                                                   255);

static int bitCount(unsigned v) {
  return __builtin_popcount(v);
}

bool PixelLayout::equal(const PixelLayout& o) const {
  if (bpp != o.bpp || depth != o.depth || trueColour != o.trueColour)
    return false;
  if (bpp != 8 && bigEndian != o.bigEndian)
    return false;
  if (!trueColour)
    return true;
  return redMax == o.redMax && greenMax == o.greenMax && blueMax == o.blueMax &&
         redShift == o.redShift && greenShift == o.greenShift && blueShift == o.blueShift &&
         alphaShift == o.alphaShift && alphaMax == o.alphaMax;
}

void PixelLayout::read(rdr::InStream& is) {
  bpp = is.readU8();
  depth = is.readU8();
  bigEndian = is.readU8() != 0;
  trueColour = is.readU8() != 0;
  redMax = is.readU16();
  greenMax = is.readU16();
  blueMax = is.readU16();
  redShift = is.readU8();
  greenShift = is.readU8();
  blueShift = is.readU8();
  alphaShift = is.readU8();
  alphaMax = is.readU16();
  int bits = bitCount(redMax) + bitCount(greenMax) + bitCount(blueMax) + bitCount(alphaMax);
  // Zero padding, or bytes that do not add up, give no alpha channel.
  if (bits != depth) {
    alphaMax = 0;
    alphaShift = 0;
  } else if (alphaMax == 0) {
    alphaShift = 0;
  }
}

void PixelLayout::write(rdr::OutStream& os) const {
  os.writeU8(bpp);
  os.writeU8(depth);
  os.writeU8(bigEndian ? 1 : 0);
  os.writeU8(trueColour ? 1 : 0);
  os.writeU16(redMax);
  os.writeU16(greenMax);
  os.writeU16(blueMax);
  os.writeU8(redShift);
  os.writeU8(greenShift);
  os.writeU8(blueShift);
  os.writeU8(alphaShift);
  os.writeU16(alphaMax);
}

// Whether a channel of that maximum at that shift lies inside bpp bits.
static bool channelFits(unsigned max, unsigned shift, unsigned bpp) {
  unsigned bits = max ? 32 - unsigned(__builtin_clz(max)) : 0;
  return shift + bits <= bpp;
}

bool PixelLayout::depthAndBppAreValid() const {
  if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return false;
  if (depth < 1 || depth > bpp)
    return false;
  // Colour-mapped pixels are translated through a table with an entry for
  // every pixel value, which is bounded only up to 16 bits.
  if (!trueColour)
    return bpp <= 16 && depth >= 3 && depth <= 8;
  // Pixels are split into channels by shifting and scaled by dividing by
  // the maxima: a layout from a peer with a zero maximum or a channel
  // outside the pixel cannot be used.
  if (!redMax || !greenMax || !blueMax)
    return false;
  return channelFits(redMax, redShift, bpp) && channelFits(greenMax, greenShift, bpp) &&
         channelFits(blueMax, blueShift, bpp) &&
         (!alphaMax || channelFits(alphaMax, alphaShift, bpp));
}

bool PixelLayout::makeLittleEndian() {
  if (bpp == 8)
    bigEndian = false;
  if (!bigEndian)
    return true;
  if (redShift % 8 || greenShift % 8 || blueShift % 8 || alphaShift % 8)
    return false;
  // A shift that does not leave a whole byte inside the pixel has no mirror.
  if (redShift + 8 > bpp || greenShift + 8 > bpp || blueShift + 8 > bpp ||
      (alphaMax && alphaShift + 8 > bpp))
    return false;
  bigEndian = false;
  redShift = uint8_t(bpp - redShift - 8);
  greenShift = uint8_t(bpp - greenShift - 8);
  blueShift = uint8_t(bpp - blueShift - 8);
  if (alphaMax)
    alphaShift = uint8_t(bpp - alphaShift - 8);
  return true;
}

bool PixelLayout::parse(const char* text) {
  if (strncasecmp(text, "pal", 3) == 0) {
    long n = strtol(text + 3, nullptr, 10);
    if (n < 3 || n > 8)
      return false;
    trueColour = false;
    depth = uint8_t(n);
  } else {
    if (strlen(text) != 6)
      return false;
    bool rgb = strncasecmp(text, "rgb", 3) == 0;
    if (!rgb && strncasecmp(text, "bgr", 3) != 0)
      return false;
    int bits[3];
    for (int i = 0; i < 3; i++) {
      char c = text[3 + i];
      if (c < '1' || c > '9')
        return false;
      bits[i] = c - '0';
    }
    trueColour = true;
    depth = uint8_t(bits[0] + bits[1] + bits[2]);
    uint16_t firstMax = uint16_t((1 << bits[0]) - 1);
    uint16_t midMax = uint16_t((1 << bits[1]) - 1);
    uint16_t lastMax = uint16_t((1 << bits[2]) - 1);
    greenMax = midMax;
    greenShift = uint8_t(bits[2]);
    if (rgb) {
      redMax = firstMax;
      blueMax = lastMax;
      blueShift = 0;
      redShift = uint8_t(bits[1] + bits[2]);
    } else {
      blueMax = firstMax;
      redMax = lastMax;
      redShift = 0;
      blueShift = uint8_t(bits[1] + bits[2]);
    }
  }
  bpp = depth <= 8 ? 8 : depth <= 16 ? 16 : 32;
  bigEndian = false;
  return true;
}

// True when max is 2^bits - 1 for a bit count 0 < bits < 32.
static bool isMaxOfBits(unsigned max, int bits) {
  return bits > 0 && bits < 32 && max == (1u << bits) - 1;
}

void PixelLayout::describe(char* buffer) const {
  plat::strAppendF(buffer, describeSize, "depth %d (%d bpp)", depth, bpp);
  if (bpp != 8)
    plat::strAppend(buffer, describeSize, bigEndian ? " big-endian" : " little-endian");
  if (!trueColour) {
    plat::strAppend(buffer, describeSize, " colour-map");
  } else if (blueShift == 0 && greenShift > 0 && redShift > greenShift &&
             isMaxOfBits(blueMax, greenShift) && isMaxOfBits(greenMax, redShift - greenShift) &&
             isMaxOfBits(redMax, depth - redShift)) {
    plat::strAppendF(buffer, describeSize, " rgb%d%d%d", bitCount(redMax), bitCount(greenMax),
                     bitCount(blueMax));
  } else if (redShift == 0 && greenShift > 0 && blueShift > greenShift &&
             isMaxOfBits(redMax, greenShift) && isMaxOfBits(greenMax, blueShift - greenShift) &&
             isMaxOfBits(blueMax, depth - blueShift)) {
    plat::strAppendF(buffer, describeSize, " bgr%d%d%d", bitCount(blueMax), bitCount(greenMax),
                     bitCount(redMax));
  } else {
    plat::strAppendF(buffer, describeSize, " rgb max %d,%d,%d shift %d,%d,%d", redMax, greenMax,
                     blueMax, redShift, greenShift, blueShift);
  }
  if (alphaMax)
    plat::strAppendF(buffer, describeSize, " alpha max %d shift %d", alphaMax, alphaShift);
}

} // namespace rfb
