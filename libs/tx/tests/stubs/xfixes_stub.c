/* A stand-in XFIXES client library that lacks XFixesGetCursorImage: the
   program must then count the extension as absent without calling it. */
int XFixesQueryExtension(void* dpy, int* eventBase, int* errorBase) {
  (void)dpy;
  *eventBase = 100;
  *errorBase = 200;
  return 1;
}

int XFixesQueryVersion(void* dpy, int* major, int* minor) {
  (void)dpy;
  *major = 6;
  *minor = 0;
  return 1;
}

void XFixesSelectCursorInput(void* dpy, unsigned long window, unsigned long mask) {
  (void)dpy;
  (void)window;
  (void)mask;
}
