// The configuration tool that runs in each desktop session of the virtual X
// server.
#include "zavconfig/Main.h"

int main(int argc, char** argv) {
  return zavconfig::zavconfigMain(argc, argv);
}
