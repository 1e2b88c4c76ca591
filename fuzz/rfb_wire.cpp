// Feeds arbitrary bytes to the region and pixel-layout readers, runs the
// region algebra on whatever was accepted, and decodes the bytes as widget
// text. Any failure must be a plat::Exception, never a crash, and accepted
// regions must keep the banded invariants through every operation.
#include "rfb/PixelLayout.h"
#include "rfb/RectSet.h"
#include "wvw/FontProp.h"

#include "rdr/MemInStream.h"

#include "plat/Exception.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  rdr::MemInStream is(data, int(size));
  rfb::RectSet a, b(rfb::Rect(0, 0, 64, 64));
  try {
    rfb::PixelLayout pf;
    pf.read(is);
    char text[rfb::PixelLayout::describeSize] = "";
    pf.describe(text);
    a.read(is);
    b.read(is);
  } catch (const plat::Exception&) {
  }
  rfb::RectSet r;
  r.setUnion(a, b);
  if (!miRegion::miValid(r.region()))
    abort();
  r.setSubtract(r, a);
  r.setIntersect(r, b);
  r.translate(rfb::Point(int(size % 97) - 48, 3));
  if (!miRegion::miValid(r.region()))
    abort();

  const char* text = reinterpret_cast<const char*>(data);
  wvw::FontProp::helv15_u.textWidth(text, text + size);
  wvw::FontProp::helv15_u.charAtX(int(size), text, text + size);
  return 0;
}
