// x0zavserver: runs the server core as the real user beside a root
// co-process that serves its privileged requests.
#include "x0zavserver/unix/Launcher.h"

int main(int argc, char** argv) {
  return os::launcherMain(argc, argv);
}
