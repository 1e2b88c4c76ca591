// The MIT-SHM client functions of the X images, bound at run time from
// "Xext[6]" instead of linked, so that a program that never draws (the
// configuration tool's command mode) does not load the library at start.
// All five are bound on the first call; the library then stays loaded.
// When the library or one of the functions is missing, XShmQueryExtension
// answers false and images fall back to plain XImages; the other functions
// may be called only after it answered true.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

namespace xshm {

bool XShmQueryExtension(Display* dpy);
XImage* XShmCreateImage(Display* dpy, Visual* visual, unsigned depth, int format, char* data,
                        XShmSegmentInfo* info, unsigned width, unsigned height);
Bool XShmAttach(Display* dpy, XShmSegmentInfo* info);
Bool XShmDetach(Display* dpy, XShmSegmentInfo* info);
Bool XShmPutImage(Display* dpy, Drawable drawable, GC gc, XImage* image, int srcX, int srcY,
                  int dstX, int dstY, unsigned width, unsigned height, Bool sendEvent);

} // namespace xshm
