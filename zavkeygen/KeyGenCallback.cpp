#include "zavkeygen/KeyGenCallback.h"

#include "plat/BoolParameter.h"
#include "plat/LogWriter.h"

static plat::LogWriter vlog("KeyGenCallback");

KeyGenCallback::KeyGenCallback(FILE* out, const plat::BoolParameter& quiet)
    : out_(out), quiet_(quiet) {
}

void KeyGenCallback::progress(int stage, int) {
  if (quiet_.getValue())
    return;
  if (count == 0) {
    fputs("Generating private key:\n  p: ", out_);
    count = 1;
  } else if (count == 2) {
    fputs("  q: ", out_);
    count = 3;
  }
  switch (stage) {
  case 0:
    fputc('.', out_);
    break;
  case 1:
  case 2:
    return;
  case 3:
    fputc('\n', out_);
    count++;
    break;
  default:
    break;
  }
  fflush(out_);
}
