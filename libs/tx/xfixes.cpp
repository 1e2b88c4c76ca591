#include "tx/xfixes.h"

#include "plat/DynamicFn.h"

namespace xfixes {

namespace {

const char* const library = "Xfixes[3,2,1]";

// The bound functions, in binding order; members are destroyed (and their
// libraries closed) in reverse order at exit.
struct Bindings {
  plat::DynamicFn queryExtension{library, "XFixesQueryExtension"};
  plat::DynamicFn queryVersion{library, "XFixesQueryVersion"};
  plat::DynamicFn selectCursorInput{library, "XFixesSelectCursorInput"};
  plat::DynamicFn selectSelectionInput{library, "XFixesSelectSelectionInput"};
  plat::DynamicFn getCursorImage{library, "XFixesGetCursorImage"};
  plat::DynamicFn createRegion{library, "XFixesCreateRegion"};
  plat::DynamicFn destroyRegion{library, "XFixesDestroyRegion"};
  plat::DynamicFn fetchRegionAndBounds{library, "XFixesFetchRegionAndBounds"};
};

// Bound once, on first use.
Bindings& bindings() {
  static Bindings b;
  return b;
}

template <typename F> F fn(const plat::DynamicFn& d) {
  return reinterpret_cast<F>(d.getFunction());
}

} // namespace

bool XFixesQueryExtension(Display* dpy, int* eventBase, int* errorBase) {
  Bindings& b = bindings();
  if (!b.queryExtension.getFunction() || !b.queryVersion.getFunction() ||
      !b.selectCursorInput.getFunction() || !b.getCursorImage.getFunction())
    return false;
  using F = int (*)(Display*, int*, int*);
  return fn<F>(b.queryExtension)(dpy, eventBase, errorBase) != 0;
}

Status XFixesQueryVersion(Display* dpy, int* major, int* minor) {
  using F = Status (*)(Display*, int*, int*);
  return fn<F>(bindings().queryVersion)(dpy, major, minor);
}

void XFixesSelectCursorInput(Display* dpy, Window window, unsigned long eventMask) {
  using F = void (*)(Display*, Window, unsigned long);
  fn<F>(bindings().selectCursorInput)(dpy, window, eventMask);
}

void XFixesSelectSelectionInput(Display* dpy, Window window, Atom selection,
                                unsigned long eventMask) {
  using F = void (*)(Display*, Window, Atom, unsigned long);
  fn<F>(bindings().selectSelectionInput)(dpy, window, selection, eventMask);
}

CursorImage* XFixesGetCursorImage(Display* dpy) {
  using F = CursorImage* (*)(Display*);
  return fn<F>(bindings().getCursorImage)(dpy);
}

Region XFixesCreateRegion(Display* dpy, XRectangle* rectangles, int count) {
  using F = Region (*)(Display*, XRectangle*, int);
  return fn<F>(bindings().createRegion)(dpy, rectangles, count);
}

void XFixesDestroyRegion(Display* dpy, Region region) {
  using F = void (*)(Display*, Region);
  fn<F>(bindings().destroyRegion)(dpy, region);
}

XRectangle* XFixesFetchRegionAndBounds(Display* dpy, Region region, int* count,
                                       XRectangle* bounds) {
  using F = XRectangle* (*)(Display*, Region, int*, XRectangle*);
  return fn<F>(bindings().fetchRegionAndBounds)(dpy, region, count, bounds);
}

} // namespace xfixes
