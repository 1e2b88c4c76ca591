// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "tx/xfixes.h"

#include "PrivateMounts.h"
#include "TxTestDisplay.h"

#include <X11/Xatom.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <sched.h>
#include <stdlib.h>
#include <unistd.h>

using testing_support::TxTestDisplay;

namespace {

// Where the system's XFIXES library may lie.
const char* const libraryPaths[] = {"/usr/lib/x86_64-linux-gnu/libXfixes.so.3",
                                    "/lib/x86_64-linux-gnu/libXfixes.so.3",
                                    "/usr/lib64/libXfixes.so.3", "/usr/lib/libXfixes.so.3"};

// Whether the extension counts as present in a new process that sees
// replacement (a file, or /dev/null) in place of the system's XFIXES
// library; -1 when the child could not set that up. The probe program asks:
// a forked child would inherit whatever this process has bound already.
int queryWith(const char* replacement, const std::string& display) {
  pid_t pid = fork();
  if (pid == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
      _exit(3);
    for (const char* path : libraryPaths)
      if (access(path, F_OK) == 0 && mount(replacement, path, nullptr, MS_BIND, nullptr) != 0)
        _exit(3);
    execl(ZAV_XFIXES_PROBE, ZAV_XFIXES_PROBE, display.c_str(), static_cast<char*>(nullptr));
    _exit(3);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1)
    return -1;
  return WEXITSTATUS(status);
}

} // namespace

TEST(xfixes, PresentLibraryReportsSelectionOwnerChanges) {
  TxTestDisplay x;
  int eventBase = 0, errorBase = 0;
  ASSERT_TRUE(xfixes::XFixesQueryExtension(x.dpy, &eventBase, &errorBase));
  int major = 0, minor = 0;
  EXPECT_NE(xfixes::XFixesQueryVersion(x.dpy, &major, &minor), 0);
  EXPECT_GE(major, 1);

  Window w = XCreateSimpleWindow(x.dpy, DefaultRootWindow(x.dpy), 0, 0, 1, 1, 0, 0, 0);
  Atom clipboard = XInternAtom(x.dpy, "CLIPBOARD", False);
  xfixes::XFixesSelectSelectionInput(x.dpy, w, clipboard, xfixes::SetSelectionOwnerNotifyMask);
  XSync(x.dpy, False);
  Display* other = XOpenDisplay(x.name().c_str());
  Window owner = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(other, XInternAtom(other, "CLIPBOARD", False), owner, CurrentTime);
  XSync(other, False);
  // The notice matches no toolkit window: the fallback handler gets it.
  struct Recorder : TXEventHandler {
    void handleEvent(TXWindow* w, XEvent* ev) override {
      if (!w)
        types.push_back(ev->type);
    }
    std::vector<int> types;
  } recorder;
  TXEventHandler* previous = TXWindow::setGlobalEventHandler(&recorder);
  bool seen = x.pumpUntil([&] {
    for (int type : recorder.types)
      if (type == eventBase + xfixes::XFixesSelectionNotify)
        return true;
    return false;
  });
  TXWindow::setGlobalEventHandler(previous);
  EXPECT_TRUE(seen);
  XCloseDisplay(other);
  XDestroyWindow(x.dpy, w);
}

TEST(xfixes, MissingLibraryOrKeyFunctionCountsAsAbsent) {
  if (!testing_support::privateMountsUnsupported().empty())
    GTEST_SKIP() << testing_support::privateMountsUnsupported();
  testing_support::XvfbServer xvfb("640x480x24");
  // The real library, seen through the same set-up, is present.
  EXPECT_EQ(queryWith(libraryPaths[0], xvfb.display()), 1);
  EXPECT_EQ(queryWith("/dev/null", xvfb.display()), 0);
  EXPECT_EQ(queryWith(ZAV_XFIXES_STUB, xvfb.display()), 0);
}
