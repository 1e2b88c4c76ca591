// Feeds arbitrary bytes to the region and pixel-layout readers, runs the
// region algebra on whatever was accepted, draws with rectangles, deltas and
// views taken from the bytes, and decodes the bytes as widget text. Any
// failure must be a plat::Exception, never a crash, and accepted regions must
// keep the banded invariants through every operation.
#include "rfb/FullFramePixelBuffer.h"
#include "rfb/ManagedPixelBuffer.h"
#include "rfb/PixelLayout.h"
#include "rfb/RectSet.h"
#include "wvw/FontProp.h"
#include "wvw/Widget.h"

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

  // Drawing operations that clip (the image and mask copies trust their
  // source to cover the rectangle, so they are left out), on a buffer of a
  // layout from the bytes when it is valid.
  try {
    rfb::PixelLayout pf;
    pf.read(is);
    if (!pf.depthAndBppAreValid())
      pf = rfb::PixelLayout::rgb565;
    rfb::ManagedPixelBuffer pb(pf, 13, 7);
    pb.fillRect(pb.getRect(), 0);
    uint32_t pixel = wvw::colourToPixel(rfb::Colour(1, 2, 3), &pb);
    while (is.avail() >= 25) {
      int op = is.readU8();
      rfb::Rect rect(is.readS32(), is.readS32(), is.readS32(), is.readS32());
      rfb::Point p(is.readS32(), is.readS32());
      rfb::FullFramePixelBuffer view(pb, rfb::Rect::at(p, 9, 5));
      rfb::FullFramePixelBuffer inner(view, rect);
      rfb::WritablePixelBuffer& target = op & 8   ? static_cast<rfb::WritablePixelBuffer&>(inner)
                                         : op & 4 ? static_cast<rfb::WritablePixelBuffer&>(view)
                                                  : pb;
      switch (op & 3) {
      case 0:
        target.fillRect(rect, pixel);
        break;
      case 1:
        target.outlineRect(rect, pixel);
        break;
      case 2:
        target.xorRect(rect, pixel);
        break;
      case 3:
        target.copyRect(rect, p);
        break;
      }
      rfb::RectSet moved(rect);
      moved.setUnion(moved, r);
      moved.translate(p);
      if (!miRegion::miValid(moved.region()))
        abort();
    }
  } catch (const plat::Exception&) {
  }

  const char* text = reinterpret_cast<const char*>(data);
  wvw::FontProp::helv15_u.textWidth(text, text + size);
  wvw::FontProp::helv15_u.charAtX(int(size), text, text + size);
  return 0;
}
