#include "tx/xshm.h"

#include "plat/DynamicFn.h"

namespace xshm {

namespace {

const char* const library = "Xext[6]";

// The bound functions.
struct Bindings {
  plat::DynamicFn queryExtension{library, "XShmQueryExtension"};
  plat::DynamicFn createImage{library, "XShmCreateImage"};
  plat::DynamicFn attach{library, "XShmAttach"};
  plat::DynamicFn detach{library, "XShmDetach"};
  plat::DynamicFn putImage{library, "XShmPutImage"};
};

// Bound once, on first use, and never unbound: the library keeps data for
// each display it served and hooks its clean-up into the display's closing,
// so it must stay loaded for as long as a display may be open.
Bindings& bindings() {
  static Bindings* b = new Bindings;
  return *b;
}

template <typename F> F fn(const plat::DynamicFn& d) {
  return reinterpret_cast<F>(d.getFunction());
}

} // namespace

bool XShmQueryExtension(Display* dpy) {
  Bindings& b = bindings();
  if (!b.queryExtension.getFunction() || !b.createImage.getFunction() || !b.attach.getFunction() ||
      !b.detach.getFunction() || !b.putImage.getFunction())
    return false;
  using F = Bool (*)(Display*);
  return fn<F>(b.queryExtension)(dpy) != 0;
}

XImage* XShmCreateImage(Display* dpy, Visual* visual, unsigned depth, int format, char* data,
                        XShmSegmentInfo* info, unsigned width, unsigned height) {
  using F =
      XImage* (*)(Display*, Visual*, unsigned, int, char*, XShmSegmentInfo*, unsigned, unsigned);
  return fn<F>(bindings().createImage)(dpy, visual, depth, format, data, info, width, height);
}

Bool XShmAttach(Display* dpy, XShmSegmentInfo* info) {
  using F = Bool (*)(Display*, XShmSegmentInfo*);
  return fn<F>(bindings().attach)(dpy, info);
}

Bool XShmDetach(Display* dpy, XShmSegmentInfo* info) {
  using F = Bool (*)(Display*, XShmSegmentInfo*);
  return fn<F>(bindings().detach)(dpy, info);
}

Bool XShmPutImage(Display* dpy, Drawable drawable, GC gc, XImage* image, int srcX, int srcY,
                  int dstX, int dstY, unsigned width, unsigned height, Bool sendEvent) {
  using F = Bool (*)(Display*, Drawable, GC, XImage*, int, int, int, int, unsigned, unsigned, Bool);
  return fn<F>(bindings().putImage)(dpy, drawable, gc, image, srcX, srcY, dstX, dstY, width, height,
                                    sendEvent);
}

} // namespace xshm
