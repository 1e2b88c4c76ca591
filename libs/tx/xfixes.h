// The XFIXES client functions the program uses, bound at run time from
// "Xfixes[3,2,1]" instead of linked: all eight are bound on the first call
// and the libraries are closed at exit. When the library or one of its key
// functions is missing, XFixesQueryExtension answers false and the extension
// counts as absent; the other functions may be called only after it answered
// true.
#pragma once

#include <X11/Xlib.h>

namespace xfixes {

// The library's cursor image record; only passed on here.
struct CursorImage;
using Region = XID;

bool XFixesQueryExtension(Display* dpy, int* eventBase, int* errorBase);
Status XFixesQueryVersion(Display* dpy, int* major, int* minor);
void XFixesSelectCursorInput(Display* dpy, Window window, unsigned long eventMask);
void XFixesSelectSelectionInput(Display* dpy, Window window, Atom selection,
                                unsigned long eventMask);
CursorImage* XFixesGetCursorImage(Display* dpy);
Region XFixesCreateRegion(Display* dpy, XRectangle* rectangles, int count);
void XFixesDestroyRegion(Display* dpy, Region region);
XRectangle* XFixesFetchRegionAndBounds(Display* dpy, Region region, int* count, XRectangle* bounds);

// The event masks and event numbers of selection-owner notices.
constexpr unsigned long SetSelectionOwnerNotifyMask = 1L << 0;
constexpr unsigned long SelectionWindowDestroyNotifyMask = 1L << 1;
constexpr unsigned long SelectionClientCloseNotifyMask = 1L << 2;
constexpr int XFixesSelectionNotify = 0;

} // namespace xfixes
