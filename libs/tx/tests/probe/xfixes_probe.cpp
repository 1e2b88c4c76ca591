// Asks the XFIXES binding whether the extension is present on the display
// named by the first argument, in a process of its own: the binding is made
// once per process, so a test that changes which library the binding finds
// runs this fresh. Exit status 1: present, 0: absent, 3: no display.
#include "tx/xfixes.h"

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2)
    return 3;
  Display* dpy = XOpenDisplay(argv[1]);
  if (!dpy)
    return 3;
  int eventBase = 0, errorBase = 0;
  bool present = xfixes::XFixesQueryExtension(dpy, &eventBase, &errorBase);
  XCloseDisplay(dpy);
  return present ? 1 : 0;
}
