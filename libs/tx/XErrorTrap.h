// A trap for the X protocol errors of a call that may fail (a focus change,
// a shared-memory attach): begin syncs and installs a handler that logs
// "Caught X error %d: %s" and remembers the code; end syncs again and puts
// the previous handler back, so that every other error reaches the default
// handling. Traps do not nest.
#pragma once

#include <X11/Xlib.h>

void beginXErrorTrap(Display* dpy);
void endXErrorTrap(Display* dpy);
// The code of the error caught since beginXErrorTrap; 0 when none.
int trappedXErrorCode();
